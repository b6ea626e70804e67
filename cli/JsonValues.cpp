// SPDX-License-Identifier: GPL-3.0-or-later
// JSON as read --json prints it: the values and registers a person may
// edit and give back to write, init and batch.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <set>

#include "ServoOperations.h"
#include "Comparison.h"
#include "ServoValues.h"

namespace rvz::cli {

namespace {

std::string RegisterKey(std::size_t reg) { return RegisterName(reg); }

// Every register a setting occupies.
const std::vector<std::size_t> kSettingRegisters = SettingRegisters(true);

// "01, 06, 07, 08, 09, 0A, 0E, 0F".
std::string SettingRegisterNames()
{
    std::string names;
    for (std::size_t reg : kSettingRegisters)
        names += (names.empty() ? "" : ", ") + RegisterKey(reg);
    return names;
}

// A JSON value as the text of a setting: a text as it is, a number in the
// shortest form that gives it back, a whole number without its fraction.
std::optional<std::string> ValueText(const nlohmann::json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 1e15)
            return std::to_string(static_cast<long long>(number));
    }
    if (value.is_number())
        return value.dump();
    return std::nullopt;
}

}  // namespace

nlohmann::json ParseShallowJson(const std::string& text, std::string* twice)
{
    std::vector<std::set<std::string>> open;
    bool deep = false;
    nlohmann::json document = nlohmann::json::parse(text, [&](int depth, nlohmann::json::parse_event_t event,
                                                               nlohmann::json& parsed) {
        // What lies deeper is dropped as it comes, so it is never built.
        if (depth > kJsonDepth)
            return !(deep = true);
        if (!twice)
            return true;
        if (event == nlohmann::json::parse_event_t::object_start)
            open.emplace_back();
        else if (event == nlohmann::json::parse_event_t::object_end && !open.empty())
            open.pop_back();
        else if (event == nlohmann::json::parse_event_t::key && !open.empty() &&
                 !open.back().insert(parsed.get<std::string>()).second && twice->empty())
            *twice = parsed.get<std::string>();
        return true;
    }, false);
    if (deep)
        return nlohmann::json(nlohmann::json::value_t::discarded);
    return document;
}

namespace {

// The "registers" object as bytes of a record, and which values they give
// whole. Why not, or nullopt.
std::optional<std::string> ReadRegisters(const nlohmann::json& registers, TServoConfig& bytes, std::set<Field>& whole)
{
    if (!registers.is_object())
        return std::string("\"registers\" is not an object of \"01\": \"23\" pairs");
    std::set<std::size_t> named;
    for (const auto& item : registers.items()) {
        const std::string key = item.key();
        const nlohmann::json& value = item.value();
        const auto reg = std::find_if(kSettingRegisters.begin(), kSettingRegisters.end(),
                                      [&](std::size_t r) { return RegisterKey(r) == key; });
        unsigned byte = 0;
        char rest = 0;
        if (reg == kSettingRegisters.end())
            return "register \"" + key + "\" is none of " + SettingRegisterNames();
        if (!value.is_string() || value.get<std::string>().size() != 2 ||
            !std::isxdigit(static_cast<unsigned char>(value.get<std::string>()[0])) ||
            !std::isxdigit(static_cast<unsigned char>(value.get<std::string>()[1])) ||
            std::sscanf(value.get<std::string>().c_str(), "%2x%c", &byte, &rest) != 1)
            return "register " + key + " is " + value.dump() + ", not two hex digits";
        bytes.Bytes[*reg] = static_cast<std::uint8_t>(byte);
        named.insert(*reg);
    }
    for (const Setting& setting : kSettings) {
        const std::vector<std::size_t> occupied = RegistersOf(setting.field);
        const auto present = std::count_if(occupied.begin(), occupied.end(),
                                           [&](std::size_t r) { return named.count(r) > 0; });
        if (present > 0 && present < static_cast<long>(occupied.size()))
            return "registers " + RegisterKey(occupied[0]) + " and " + RegisterKey(occupied[1]) + " go together (" +
                   SettingName(setting.field) + ")";
        if (present > 0)
            whole.insert(setting.field);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ValuesFromJson(const std::string& text, const std::string& where,
                                          std::vector<GivenValue>& given)
{
    std::string twice;
    const nlohmann::json document = ParseShallowJson(text, &twice);
    const bool hasValues = document.is_object() && document.contains("values");
    const bool hasRegisters = document.is_object() && document.contains("registers");
    if (document.is_discarded() || !document.is_object() || (!hasValues && !hasRegisters) ||
        (hasValues && !document["values"].is_object()))
        return std::string("it is not JSON of the form {\"values\": {...}, \"registers\": {...}} that read --json "
                           "prints");
    if (!twice.empty())
        return "\"" + twice + "\" stands twice";
    for (const auto& [key, value] : document.items())
        if (key != "values" && key != "registers")
            return "\"" + key + "\" is neither \"values\" nor \"registers\"";

    TServoConfig registers;
    std::set<Field> byRegisters;
    if (document.contains("registers"))
        if (auto problem = ReadRegisters(document["registers"], registers, byRegisters))
            return problem;
    const nlohmann::json values = hasValues ? document["values"] : nlohmann::json::object();
    for (const auto& [name, value] : values.items()) {
        const Setting* info = FindSetting(name);
        if (!info)
            return "\"" + name + "\" is not a setting; use one of " + SettingNames();
        const auto valueText = ValueText(value);
        if (!valueText)
            return name + " is " + value.dump() + ", not a number or a text";
        GivenValue given1{info->field, *valueText, std::nullopt, where};
        if (byRegisters.erase(info->field) > 0) {
            // Both say it: they must agree, and then the registers are sent
            // byte for byte, so that a copy is exact.
            const auto lock = info->field == Field::Lock ? LockText(*valueText) : std::nullopt;
            if (ShownValue(registers, info->field) != lock.value_or(*valueText))
                return "values." + std::string(info->name) + " is " + *valueText + " but its registers hold " +
                       ShownValue(registers, info->field) + "; remove \"registers\" to send the values, or make "
                                                            "them agree";
            given1.registers = registers;
        }
        if (auto problem = AddGiven(given, std::move(given1)))
            return problem;
    }
    for (Field field : byRegisters)
        if (auto problem = AddGiven(given, {field, ShownValue(registers, field), registers, where}))
            return problem;
    return std::nullopt;
}

std::string JsonText(const nlohmann::json& json)
{
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json RecordJson(const TServoConfig& record, bool withSignal)
{
    // The shown texts are plain decimal numbers; JSON reads them as numbers.
    nlohmann::json values = nlohmann::json::object();
    for (const Setting& info : kSettings) {
        if (info.field == Field::Signal && !withSignal)
            continue;
        const std::string shown = ShownValue(record, info.field);
        values[std::string(info.name)] = info.field == Field::Lock ? nlohmann::json(shown) : nlohmann::json::parse(shown);
    }
    nlohmann::json registers = nlohmann::json::object();
    for (std::size_t reg : SettingRegisters(withSignal))
        registers[RegisterKey(reg)] = HexByte(record.Bytes[reg]);
    return {{"values", values}, {"registers", registers}};
}

}  // namespace rvz::cli
