#pragma once
// The servo's values on the command line: the window's six fields filled
// from a parameter file and NAME=VALUE settings, turned into a record by the
// window's own conversions, and the record shown as the window shows it.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Conversions.h"
#include "ServoConfig.h"

namespace rvz::cli {

// The names --set takes, one per field of the window.
inline constexpr const char* kFieldNames[] = {"deadband", "lock", "upper", "lower", "neutral", "signal"};

// Applies NAME=VALUE settings to the fields. Returns the first setting that
// cannot be applied (an unknown name, a lock other than Y or N), or nullopt.
std::optional<std::string> ApplySettings(TServoFields& fields, const std::vector<std::string>& settings);

// The fields a window shows after opening the record: what Open puts there,
// and the neutral signal from the file, which the window's field would keep.
TServoFields FieldsFromRecord(const TServoConfig& record, char decimalSeparator);

// What a script should know about the fields before they are written: a
// value that is not a number and takes the field's default, a value its
// register cannot hold and wraps, a limit moved to the neutral position.
std::vector<std::string> FieldWarnings(const TServoFields& fields, const TServoConfig& built, char decimalSeparator);

// The record as the window shows it, then its registers in hex.
std::string DescribeRecord(const TServoConfig& record, bool withSignal, char decimalSeparator);
nlohmann::json RecordJson(const TServoConfig& record, bool withSignal, char decimalSeparator);

// The registers behind the window's fields, for reads and comparisons.
inline constexpr int kFieldRegisters[] = {1, 6, 7, 8, 9, 10};

}  // namespace rvz::cli
