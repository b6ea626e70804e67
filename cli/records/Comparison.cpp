// SPDX-License-Identifier: GPL-3.0-or-later
#include "Comparison.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "RecordJson.h"
#include "ServoOperations.h"

namespace rvz::cli {

bool SameSettings(const KnownRecord& known, const TServoConfig& servo)
{
    return std::all_of(kConfigRegisters.begin(), kConfigRegisters.end(), [&](std::size_t reg) {
        return known.known[reg] && known.record.Bytes[reg] == servo.Bytes[reg];
    });
}

Differences Compare(const KnownRecord& from, const KnownRecord& to)
{
    Differences differences;
    for (const Setting& info : kSettings) {
        if (from.Knows(info.field) && to.Knows(info.field)) {
            if (ShownValue(from.record, info.field) != ShownValue(to.record, info.field))
                differences.settings.push_back(info.field);
        } else if (to.Knows(info.field)) {
            differences.onlyTo.push_back(info.field);
        }
    }
    for (std::size_t reg = 0; reg < TServoConfig::kSize; ++reg)
        if (from.known[reg] && to.known[reg] && from.record.Bytes[reg] != to.record.Bytes[reg])
            differences.registers.push_back(reg);
    return differences;
}

std::string DifferencesText(const KnownRecord& from, const KnownRecord& to, const Differences& differences)
{
    std::string text;
    for (Field field : differences.settings)
        text += std::string(SettingName(field)) + ": " + ShownValue(from.record, field) + " -> " +
                ShownValue(to.record, field) + "\n";
    for (Field field : differences.onlyTo)
        text += std::string(SettingName(field)) + ": ? -> " + ShownValue(to.record, field) + "\n";
    if (!differences.registers.empty()) {
        text += "registers:";
        for (std::size_t reg : differences.registers)
            text += " " + RegisterName(reg) + " " + HexByte(from.record.Bytes[reg]) + " -> " + HexByte(to.record.Bytes[reg]) +
                    (reg == differences.registers.back() ? "" : ",");
        text += "\n";
    }
    return text.empty() ? "no differences\n" : text;
}

nlohmann::json DifferencesJson(const KnownRecord& from, const KnownRecord& to, const Differences& differences)
{
    nlohmann::json settings = nlohmann::json::object();
    for (Field field : differences.settings)
        settings[SettingName(field)] = {{"from", SettingValueJson(from.record, field)}, {"to", SettingValueJson(to.record, field)}};
    for (Field field : differences.onlyTo)
        settings[SettingName(field)] = {{"from", nullptr}, {"to", SettingValueJson(to.record, field)}};
    nlohmann::json registers = nlohmann::json::object();
    for (std::size_t reg : differences.registers)
        registers[RegisterName(reg)] = {{"from", HexByte(from.record.Bytes[reg])}, {"to", HexByte(to.record.Bytes[reg])}};
    return {{"equal", differences.Equal()}, {"settings", settings}, {"registers", registers}};
}

}  // namespace rvz::cli
