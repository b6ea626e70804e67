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

bool Gives(const std::vector<GivenValue>& given, Field field);

// The record as the window shows it, then its registers in hex.
std::string DescribeRecord(const TServoConfig& record, bool withSignal);
// A value of the record as the window shows it ("Y" or "N" for the lock).
std::string ShownValue(const TServoConfig& record, Field field);

}  // namespace rvz::cli
