#include "ServoValues.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "NumberText.h"
#include "ServoOperations.h"

namespace rvz::cli {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

const SettingInfo* Find(const std::string& name)
{
    for (const SettingInfo& info : kSettings)
        if (name == info.name)
            return &info;
    return nullptr;
}

std::string* TextOf(TServoFields& fields, Setting setting)
{
    switch (setting) {
    case Setting::DeadBand:
        return &fields.DeadBand;
    case Setting::Upper:
        return &fields.Upper;
    case Setting::Lower:
        return &fields.Lower;
    case Setting::Neutral:
        return &fields.Neutral;
    case Setting::Signal:
        return &fields.Signal;
    case Setting::Lock:
        break;
    }
    return nullptr;
}

std::optional<std::string> Apply(TServoFields& fields, const SettingInfo& info, const std::string& value)
{
    if (info.setting == Setting::Lock) {
        const std::string lock = Lower(value);
        if (lock != "y" && lock != "n")
            return std::string("lock must be Y or N, not \"") + value + "\"";
        fields.LockIndex = lock == "y" ? 1 : 0;
        return std::nullopt;
    }
    *TextOf(fields, info.setting) = value;
    return std::nullopt;
}

}  // namespace

std::string SettingNames()
{
    std::string names;
    for (const SettingInfo& info : kSettings)
        names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

std::string SettingsHelp()
{
    std::string help;
    for (const SettingInfo& info : kSettings) {
        char line[128];
        std::snprintf(line, sizeof line, "  %-9s %s\n", info.name, info.help);
        help += line;
    }
    return help;
}

std::optional<std::string> ApplySettings(TServoFields& fields, const std::vector<std::string>& settings)
{
    for (const std::string& setting : settings) {
        const auto equals = setting.find('=');
        if (equals == std::string::npos)
            return "\"" + setting + "\" is not NAME=VALUE";
        const SettingInfo* info = Find(Lower(setting.substr(0, equals)));
        if (!info)
            return "\"" + setting.substr(0, equals) + "\" is not a setting; use one of " + SettingNames();
        if (auto problem = Apply(fields, *info, setting.substr(equals + 1)))
            return problem;
    }
    return std::nullopt;
}

bool SetsSignal(const std::vector<std::string>& settings)
{
    return std::any_of(settings.begin(), settings.end(),
                       [](const std::string& setting) { return Lower(setting.substr(0, setting.find('='))) == "signal"; });
}

TServoFields FieldsFromRecord(const TServoConfig& record)
{
    const TShownConfig shown = ShowConfig(record, kCliSeparator);
    TServoFields fields;
    fields.DeadBand = shown.DeadBand;
    fields.LockIndex = shown.LockIndex;
    fields.Lower = shown.Lower;
    fields.Upper = shown.Upper;
    fields.Neutral = shown.Neutral;
    fields.Signal = std::to_string(record.NeutralSignal());
    return fields;
}

std::vector<std::string> FieldProblems(const TServoFields& fields)
{
    const TFieldProblems problems = CheckFields(fields, kCliSeparator);
    // What the window would store instead, built and shown by its own conversions.
    TServoConfig built;
    try {
        built = BuildConfig(fields, kCliSeparator);
    } catch (const ConversionError&) {
        return {"deadband " + fields.DeadBand + " is out of range and cannot be stored at all"};
    }
    const TShownConfig shown = ShowConfig(built, kCliSeparator);
    const std::string signal = std::to_string(built.NeutralSignal());
    struct Checked {
        const char* name;
        FieldProblem problem;
        const std::string& given;
        const std::string& stored;
    };
    // The neutral position first: the limits are judged against it.
    const Checked checked[] = {{"deadband", problems.DeadBand, fields.DeadBand, shown.DeadBand},
                               {"neutral", problems.Neutral, fields.Neutral, shown.Neutral},
                               {"upper", problems.Upper, fields.Upper, shown.Upper},
                               {"lower", problems.Lower, fields.Lower, shown.Lower},
                               {"signal", problems.Signal, fields.Signal, signal}};
    std::vector<std::string> sentences;
    for (const Checked& field : checked) {
        const std::string head = std::string(field.name) + "=" + field.given;
        switch (field.problem) {
        case FieldProblem::None:
            break;
        case FieldProblem::NotANumber:
            sentences.push_back(head + " is not a number (written with digits and a point); the window would store " +
                                field.stored + " instead");
            break;
        case FieldProblem::Wraps:
            sentences.push_back(head + " is beyond what its register holds and would be stored as " + field.stored);
            break;
        case FieldProblem::Moved:
            sentences.push_back(head + " lies on the wrong side of the neutral position and would be stored as " +
                                field.stored);
            break;
        }
    }
    return sentences;
}

std::string DescribeRecord(const TServoConfig& record, bool withSignal)
{
    const TShownConfig shown = ShowConfig(record, kCliSeparator);
    std::ostringstream text;
    text << "dead band    " << shown.DeadBand << " us\n"
         << "lock         " << (shown.LockIndex == 1 ? "Y" : "N") << "\n"
         << "pulse upper  " << shown.Upper << " us\n"
         << "pulse lower  " << shown.Lower << " us\n"
         << "neutral      " << shown.Neutral << " us\n";
    if (withSignal)
        text << "signal       " << record.NeutralSignal() << " us\n";
    text << "registers   ";
    char hex[8];
    for (std::size_t reg : kConfigRegisters) {
        std::snprintf(hex, sizeof hex, " %02zX=%02X", reg, record.Bytes[reg]);
        text << hex;
    }
    if (withSignal) {
        std::snprintf(hex, sizeof hex, " 0E=%02X", record.Bytes[14]);
        text << hex;
        std::snprintf(hex, sizeof hex, " 0F=%02X", record.Bytes[15]);
        text << hex;
    }
    text << "\n";
    return text.str();
}

nlohmann::json RecordJson(const TServoConfig& record, bool withSignal)
{
    const TShownConfig shown = ShowConfig(record, kCliSeparator);
    // The shown texts are plain decimal numbers; JSON reads them as numbers.
    nlohmann::json values = {{"deadband", nlohmann::json::parse(shown.DeadBand)},
                             {"lock", shown.LockIndex == 1 ? "Y" : "N"},
                             {"upper", nlohmann::json::parse(shown.Upper)},
                             {"lower", nlohmann::json::parse(shown.Lower)},
                             {"neutral", nlohmann::json::parse(shown.Neutral)}};
    if (withSignal)
        values["signal"] = record.NeutralSignal();
    nlohmann::json registers = nlohmann::json::object();
    char key[4];
    char value[4];
    auto add = [&](std::size_t reg) {
        std::snprintf(key, sizeof key, "%02zX", reg);
        std::snprintf(value, sizeof value, "%02X", record.Bytes[reg]);
        registers[key] = value;
    };
    for (std::size_t reg : kConfigRegisters)
        add(reg);
    if (withSignal) {
        add(14);
        add(15);
    }
    return {{"values", values}, {"registers", registers}};
}

std::optional<std::string> FieldsFromJson(const std::string& text, TServoFields& fields,
                                          std::vector<std::string>* named)
{
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("values") ||
        !document["values"].is_object())
        return std::string("it is not JSON of the form {\"values\": {...}} that read --json prints");
    for (const auto& [name, value] : document["values"].items()) {
        const SettingInfo* info = Find(name);
        if (!info)
            return "\"" + name + "\" is not a setting; use one of " + SettingNames();
        // A number is taken in the shortest text that gives it back.
        const std::string given = value.is_string() ? value.get<std::string>() : value.dump();
        if (!value.is_string() && !value.is_number())
            return name + " is " + given + ", not a number or a text";
        if (auto problem = Apply(fields, *info, given))
            return problem;
        if (named)
            named->push_back(name);
    }
    return std::nullopt;
}

}  // namespace rvz::cli
