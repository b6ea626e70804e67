// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordJson.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

namespace rvz::cli {

namespace {

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

// Exactly two hex digits, in either case.
std::optional<std::uint8_t> TwoHexDigits(const std::string& text)
{
    if (text.size() != 2 || !std::isxdigit(static_cast<unsigned char>(text[0])) ||
        !std::isxdigit(static_cast<unsigned char>(text[1])))
        return std::nullopt;
    return static_cast<std::uint8_t>(std::stoul(text, nullptr, 16));
}

// "01, 06, 07, 08, 09, 0A, 0E, 0F".
std::string RegisterNames(const std::vector<std::size_t>& registers)
{
    std::string names;
    for (std::size_t reg : registers)
        names += (names.empty() ? "" : ", ") + RegisterName(reg);
    return names;
}

// The "registers" object of JSON given to a command, as bytes of a record,
// and which values they give whole. Why not, or nullopt.
std::optional<std::string> GivenRegisters(const nlohmann::json& registers, TServoConfig& bytes, std::set<Field>& whole)
{
    if (!registers.is_object())
        return std::string("\"registers\" is not an object of \"01\": \"23\" pairs");
    static const std::vector<std::size_t> kSettingsRegisters = SettingRegisters(true);
    KnownRecord named;
    if (const auto problem = RegistersFromJson(registers, kSettingsRegisters, named)) {
        switch (problem->kind) {
        case RegisterProblem::NotARegister:
            return "register \"" + problem->key + "\" is none of " + RegisterNames(kSettingsRegisters);
        case RegisterProblem::Twice:
            return "register " + problem->key + " stands twice";
        case RegisterProblem::NotAByte:
            break;
        }
        return "register " + problem->key + " is " + registers[problem->key].dump() + ", not two hex digits";
    }
    for (const Setting& setting : kSettings) {
        const std::vector<std::size_t> occupied = RegistersOf(setting.field);
        const auto present = std::count_if(occupied.begin(), occupied.end(), [&](std::size_t r) { return named.known[r]; });
        if (present > 0 && present < static_cast<long>(occupied.size()))
            return "registers " + RegisterName(occupied[0]) + " and " + RegisterName(occupied[1]) + " go together (" +
                   SettingName(setting.field) + ")";
        if (present > 0)
            whole.insert(setting.field);
    }
    bytes = named.record;
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

std::string JsonText(const nlohmann::json& json)
{
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json SettingValueJson(const TServoConfig& record, Field field)
{
    // The shown texts are plain decimal numbers; JSON reads them as numbers.
    const std::string shown = ShownValue(record, field);
    return field == Field::Lock ? nlohmann::json(shown) : nlohmann::json::parse(shown);
}

nlohmann::json RegistersJson(const KnownRecord& known)
{
    nlohmann::json registers = nlohmann::json::object();
    for (std::size_t reg = 0; reg < TServoConfig::kSize; ++reg)
        if (known.known[reg])
            registers[RegisterName(reg)] = HexByte(known.record.Bytes[reg]);
    return registers;
}

nlohmann::json KnownRecordJson(const KnownRecord& known)
{
    nlohmann::json values = nlohmann::json::object();
    for (const Setting& setting : kSettings)
        if (known.Knows(setting.field))
            values[std::string(setting.name)] = SettingValueJson(known.record, setting.field);
    return {{"values", values}, {"registers", RegistersJson(known)}};
}

nlohmann::json RecordJson(const TServoConfig& record, bool withSignal)
{
    KnownRecord known{record, {}};
    for (std::size_t reg : SettingRegisters(withSignal))
        known.known.set(reg);
    return KnownRecordJson(known);
}

std::optional<RegisterProblem> RegistersFromJson(const nlohmann::json& registers,
                                                 const std::vector<std::size_t>& allowed, KnownRecord& known)
{
    for (const auto& [key, value] : registers.items()) {
        const auto reg = TwoHexDigits(key);
        if (!reg || std::find(allowed.begin(), allowed.end(), *reg) == allowed.end())
            return RegisterProblem{key, RegisterProblem::NotARegister};
        // "0A" and "0a" name one register: two values for it contradict.
        if (known.known[*reg])
            return RegisterProblem{key, RegisterProblem::Twice};
        const auto byte = value.is_string() ? TwoHexDigits(value.get<std::string>()) : std::nullopt;
        if (!byte)
            return RegisterProblem{key, RegisterProblem::NotAByte};
        known.record.Bytes[*reg] = *byte;
        known.known.set(*reg);
    }
    return std::nullopt;
}

std::optional<KnownRecord> KnownFromJson(const nlohmann::json& json)
{
    if (!json.is_object() || !json.contains("registers") || !json["registers"].is_object())
        return std::nullopt;
    static const std::vector<std::size_t> kEveryRegister = [] {
        std::vector<std::size_t> every(TServoConfig::kSize);
        for (std::size_t reg = 0; reg < every.size(); ++reg)
            every[reg] = reg;
        return every;
    }();
    KnownRecord known;
    if (RegistersFromJson(json["registers"], kEveryRegister, known))
        return std::nullopt;
    return known;
}

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
        if (auto problem = GivenRegisters(document["registers"], registers, byRegisters))
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

}  // namespace rvz::cli
