#pragma once
// The parameter file: the 16 bytes of a TServoConfig, raw, at the start of
// the file. Both operations report failure as a plain false, never a message.

#include <filesystem>
#include <span>

#include "ServoConfig.h"

namespace rvz {

// Reads the first 16 bytes of the file, opened for exclusive use. A file that
// cannot be opened, is held by another program or is shorter than 16 bytes
// gives false and leaves config untouched; bytes past the 16th are ignored.
bool ReadParamFile(const std::filesystem::path& file, TServoConfig& config);

// Writes the 16 bytes at the start of the file. An existing file is opened
// without truncating it, so a longer file keeps its tail; otherwise the file
// is created. False when it cannot be opened, created or fully written.
bool WriteParamFile(const std::filesystem::path& file, const TServoConfig& config);

}  // namespace rvz
