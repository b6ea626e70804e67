// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The servo's values on the command line: the table of settings drives the
// --set names, the help text and the JSON keys. Values are turned into
// register bits and back by the window's own conversions (params/), with a
// point as the decimal separator whatever the locale; no arithmetic of the
// command line's own.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Conversions.h"
#include "Settings.h"
#include "ServoConfig.h"

namespace rvz::cli {

// Numbers on the command line and in JSON are read and written with a point.
inline constexpr char kCliSeparator = '.';

// The --set name and JSON key of a setting.
std::string SettingName(Field field);
// The setting of a --set name or JSON key, in any case; null for none.
const Setting* FindSetting(const std::string& name);
// "Y" or "N" for a lock given in either case; nullopt for anything else.
std::optional<std::string> LockText(const std::string& value);
// "deadband, lock, upper, lower, neutral, signal".
std::string SettingNames();
// One line per setting, for the help text.
std::string SettingsHelp();

// A value given for a setting: as text (--set, or a JSON value), or as the
// bytes of the registers it occupies (JSON "registers").
struct GivenValue {
    Field field;
    std::string text;  // "Y" or "N" for the lock
    std::optional<TServoConfig> registers;
    std::string where;  // "--set", or the file it came from
};

// Adds a value; why not, when its setting is given already or a lock is
// neither Y nor N.
std::optional<std::string> AddGiven(std::vector<GivenValue>& given, GivenValue value);

// --set NAME=VALUE settings, in order. Why one cannot be taken (not
// NAME=VALUE, an unknown name, a lock other than Y or N, a setting named
// twice), or nullopt.
std::optional<std::string> ParseSettings(const std::vector<std::string>& settings, std::vector<GivenValue>& given);

// The values and registers of JSON as read --json prints it. Why it cannot
// be taken (not such JSON, a key named twice or unknown, a value that is
// neither a number nor a text, values and registers that disagree), or
// nullopt. A number with a zero fraction counts as the whole number.
std::optional<std::string> ValuesFromJson(const std::string& text, const std::string& where,
                                          std::vector<GivenValue>& given);

bool Gives(const std::vector<GivenValue>& given, Field field);

// The record as the window shows it, then its registers in hex.
std::string DescribeRecord(const TServoConfig& record, bool withSignal);
// {"values": {NAME: value...}, "registers": {"01": "23", ...}}; numbers as numbers.
nlohmann::json RecordJson(const TServoConfig& record, bool withSignal);
// JSON as this tool reads it: discarded when it is not JSON or nests
// deeper than kJsonDepth (a deeper nest would exhaust the stack when
// copied), and with the first key that stands twice in one object noted
// in twice, when given.
inline constexpr int kJsonDepth = 16;
nlohmann::json ParseShallowJson(const std::string& text, std::string* twice = nullptr);
// JSON as text on one line. Text that is not UTF-8 (a file name in
// another encoding) shows U+FFFD where its bytes were, instead of
// stopping the program after a write has gone out.
std::string JsonText(const nlohmann::json& json);
// A value of the record as the window shows it ("Y" or "N" for the lock).
std::string ShownValue(const TServoConfig& record, Field field);

}  // namespace rvz::cli
