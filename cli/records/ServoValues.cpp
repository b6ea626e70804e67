// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServoValues.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

#include "Comparison.h"

namespace rvz::cli {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

}  // namespace

const Setting* FindSetting(const std::string& name)
{
    for (const Setting& info : kSettings)
        if (Lower(name) == info.name)
            return &info;
    return nullptr;
}

std::optional<std::string> LockText(const std::string& value)
{
    const std::string lock = Lower(value);
    if (lock != "y" && lock != "n")
        return std::nullopt;
    return lock == "y" ? "Y" : "N";
}

std::optional<std::string> AddGiven(std::vector<GivenValue>& given, GivenValue value)
{
    if (Gives(given, value.field))
        return std::string(SettingName(value.field)) + " is given twice in " + value.where;
    if (value.field == Field::Lock && !value.registers) {
        const auto lock = LockText(value.text);
        if (!lock)
            return std::string("lock must be Y or N, not \"") + value.text + "\"";
        value.text = *lock;
    }
    given.push_back(std::move(value));
    return std::nullopt;
}

std::string SettingName(Field field) { return std::string(SettingOf(field).name); }

std::string SettingNames()
{
    std::string names;
    for (const Setting& info : kSettings)
        names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

std::string SettingsHelp()
{
    std::string help;
    for (const Setting& info : kSettings) {
        char line[128];
        std::snprintf(line, sizeof line, "  %-9s %s\n", std::string(info.name).c_str(), std::string(info.help).c_str());
        help += line;
    }
    return help;
}

bool Gives(const std::vector<GivenValue>& given, Field field)
{
    return std::any_of(given.begin(), given.end(), [&](const GivenValue& value) { return value.field == field; });
}

std::optional<std::string> ParseSettings(const std::vector<std::string>& settings, std::vector<GivenValue>& given)
{
    for (const std::string& setting : settings) {
        const auto equals = setting.find('=');
        if (equals == std::string::npos)
            return "\"" + setting + "\" is not NAME=VALUE";
        const Setting* info = FindSetting(setting.substr(0, equals));
        if (!info)
            return "\"" + setting.substr(0, equals) + "\" is not a setting; use one of " + SettingNames();
        if (auto problem = AddGiven(given, {info->field, setting.substr(equals + 1), std::nullopt, "--set"}))
            return problem;
    }
    return std::nullopt;
}

std::string ShownValue(const TServoConfig& record, Field field)
{
    const TShownConfig shown = ShowConfig(record, kCliSeparator);
    switch (field) {
    case Field::DeadBand:
        return shown.DeadBand;
    case Field::Lock:
        return shown.LockIndex == 1 ? "Y" : "N";
    case Field::Lower:
        return shown.Lower;
    case Field::Upper:
        return shown.Upper;
    case Field::Neutral:
        return shown.Neutral;
    case Field::Signal:
        return std::to_string(CodeOf(record, Field::Signal));
    }
    return {};
}

std::string DescribeRecord(const TServoConfig& record, bool withSignal)
{
    std::string text;
    for (const Setting& setting : kSettings) {
        if (setting.byRegister || withSignal) {
            std::string label(setting.label);
            label.resize(std::max<std::size_t>(label.size() + 1, 13), ' ');
            text += label + ShownValue(record, setting.field) +
                    (setting.unit.empty() ? "" : " " + std::string(setting.unit)) + "\n";
        }
    }
    text += "registers   ";
    for (std::size_t reg : SettingRegisters(withSignal))
        text += " " + RegisterName(reg) + "=" + HexByte(record.Bytes[reg]);
    return text + "\n";
}

}  // namespace rvz::cli
