// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one reader of records from a file or standard input ("-"), for every
// command: JSON as read --json prints it, or a parameter file's bytes.
// Which one, the content says, not the file's name: JSON given without
// --json is never taken for sixteen bytes to program.

#include <optional>
#include <string>
#include <vector>

#include "RunContext.h"
#include "ServoConfig.h"
#include "ServoValues.h"

namespace rvz::cli {

struct RecordSource {
    std::string where;                             // "\"name\"", or "standard input"
    std::optional<TServoConfig> record;            // a parameter file's record
    std::optional<std::vector<GivenValue>> given;  // JSON's values
};

// Reads name; with json, it must be JSON. A parameter file is read under
// its lock, and bytes beyond its 16 are warned of.
std::optional<Failure> ReadRecordSource(RunContext& run, const std::string& name, bool json, RecordSource& source);

// A parameter file or standard input that must hold a parameter record.
std::optional<Failure> ReadParameterFile(RunContext& run, const std::string& file, TServoConfig& record);

}  // namespace rvz::cli
