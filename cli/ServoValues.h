#pragma once
// The servo's values on the command line: one table of settings drives the
// --set names, the help text and the JSON keys. Values are read into the
// window's six fields and turned into a record by the window's own
// conversions (params/), with a point as the decimal separator whatever the
// locale; no arithmetic of the command line's own.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Conversions.h"
#include "ServoConfig.h"

namespace rvz::cli {

// Numbers on the command line and in JSON are read and written with a point.
inline constexpr char kCliSeparator = '.';

enum class Setting { DeadBand, Lock, Upper, Lower, Neutral, Signal };

struct SettingInfo {
    Setting setting;
    const char* name;  // the --set name and the JSON key
    const char* help;
};

inline constexpr SettingInfo kSettings[] = {
    {Setting::DeadBand, "deadband", "dead band in us, 0.4 to 13 in steps of 0.2"},
    {Setting::Lock, "lock", "Y or N"},
    {Setting::Upper, "upper", "upper pulse limit in us, the neutral position to 3264, in steps of 12.8"},
    {Setting::Lower, "lower", "lower pulse limit in us, 0 to the neutral position, in steps of 12.8"},
    {Setting::Neutral, "neutral", "neutral position in us, 960 to 2239"},
    {Setting::Signal, "signal", "neutral signal in us, 0 to 65535; sent by init only"},
};

// "deadband, lock, upper, lower, neutral, signal".
std::string SettingNames();
// One line per setting, for the help text.
std::string SettingsHelp();

// Applies NAME=VALUE settings to the fields. Returns why the first one
// cannot be applied (not NAME=VALUE, an unknown name, a lock other than Y or
// N), or nullopt.
std::optional<std::string> ApplySettings(TServoFields& fields, const std::vector<std::string>& settings);

// Whether a setting was given.
bool SetsSignal(const std::vector<std::string>& settings);

// The fields a window shows after opening the record, and the neutral
// signal from the record, which the window's field would keep.
TServoFields FieldsFromRecord(const TServoConfig& record);

// One sentence for each value that would not be stored as given, naming
// the setting and what it would become; empty when every value is kept.
std::vector<std::string> FieldProblems(const TServoFields& fields);

// The record as the window shows it, then its registers in hex.
std::string DescribeRecord(const TServoConfig& record, bool withSignal);
// {"values": {NAME: value...}, "registers": {"01": "23", ...}}; numbers as numbers.
nlohmann::json RecordJson(const TServoConfig& record, bool withSignal);
// The values of what RecordJson printed (registers are not read), into the
// fields; why they cannot be taken, or nullopt. named, when given, gets the
// settings the text names.
std::optional<std::string> FieldsFromJson(const std::string& text, TServoFields& fields,
                                          std::vector<std::string>* named = nullptr);

}  // namespace rvz::cli
