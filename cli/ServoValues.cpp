#include "ServoValues.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "NumberText.h"

namespace rvz::cli {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A decimal text as a double, for comparing what was asked with what the
// register holds; never used to build a record.
std::optional<double> Approximate(const std::string& text, char separator)
{
    const auto value = ParseDecimal(text, separator);
    if (!value)
        return std::nullopt;
    std::string plain = value->digits.empty() ? "0" : value->digits;
    return (value->negative ? -1.0 : 1.0) * std::stod(plain) * std::pow(10.0, static_cast<double>(value->exponent));
}

struct ShownField {
    const char* name;
    const std::string& typed;
    const std::string& shown;
    double halfStep;  // half the register's grid, in us
};

}  // namespace

std::optional<std::string> ApplySettings(TServoFields& fields, const std::vector<std::string>& settings)
{
    for (const std::string& setting : settings) {
        const auto equals = setting.find('=');
        if (equals == std::string::npos)
            return setting;
        const std::string name = Lower(setting.substr(0, equals));
        const std::string value = setting.substr(equals + 1);
        if (name == "deadband")
            fields.DeadBand = value;
        else if (name == "upper")
            fields.Upper = value;
        else if (name == "lower")
            fields.Lower = value;
        else if (name == "neutral")
            fields.Neutral = value;
        else if (name == "signal")
            fields.Signal = value;
        else if (name == "lock" && (value == "Y" || value == "y" || value == "N" || value == "n"))
            fields.LockIndex = (value == "Y" || value == "y") ? 1 : 0;
        else
            return setting;
    }
    return std::nullopt;
}

TServoFields FieldsFromRecord(const TServoConfig& record, char decimalSeparator)
{
    const TShownConfig shown = ShowConfig(record, decimalSeparator);
    TServoFields fields;
    fields.DeadBand = shown.DeadBand;
    fields.LockIndex = shown.LockIndex;
    fields.Lower = shown.Lower;
    fields.Upper = shown.Upper;
    fields.Neutral = shown.Neutral;
    fields.Signal = std::to_string(record.NeutralSignal());
    return fields;
}

std::vector<std::string> FieldWarnings(const TServoFields& fields, const TServoConfig& built, char decimalSeparator)
{
    std::vector<std::string> warnings;
    auto notANumber = [&](const char* name, const std::string& text, const std::string& fallback) {
        warnings.push_back(std::string(name) + " \"" + text + "\" is not a number: the field's default " + fallback +
                           " is used, as in the window");
    };
    if (!ParseDecimal(fields.DeadBand, decimalSeparator))
        notANumber("deadband", fields.DeadBand, std::string(kDefaultDeadBand));
    const std::pair<const char*, const std::string*> integers[] = {
        {"upper", &fields.Upper}, {"lower", &fields.Lower}, {"neutral", &fields.Neutral}, {"signal", &fields.Signal}};
    const std::int32_t defaults[] = {kDefaultUpperLimit, kDefaultLowerLimit, kDefaultNeutral, kDefaultSignal};
    for (std::size_t i = 0; i < std::size(integers); ++i)
        if (!ParseInteger(*integers[i].second))
            notANumber(integers[i].first, *integers[i].second, std::to_string(defaults[i]));

    const TLimitCheck limits = CheckLimits(fields.Neutral, fields.Lower, fields.Upper);
    if (limits.LowerRed)
        warnings.push_back("lower limit lies above the neutral position: the neutral position is written instead");
    if (limits.UpperRed)
        warnings.push_back("upper limit lies below the neutral position: the neutral position is written instead");

    // What the registers hold, shown again, against what was asked for: a
    // difference beyond half a step of the register's grid is a wrap.
    const TShownConfig shown = ShowConfig(built, decimalSeparator);
    const ShownField checked[] = {{"deadband", fields.DeadBand, shown.DeadBand, 0.1},
                                  {"upper", fields.Upper, shown.Upper, 6.4},
                                  {"lower", fields.Lower, shown.Lower, 6.4},
                                  {"neutral", fields.Neutral, shown.Neutral, 0.5}};
    for (const ShownField& field : checked) {
        if ((field.name == std::string("upper") && limits.UpperRed) || (field.name == std::string("lower") && limits.LowerRed))
            continue;
        const auto typed = Approximate(field.typed, decimalSeparator);
        const auto held = Approximate(field.shown, decimalSeparator);
        if (typed && held && std::abs(*typed - *held) > field.halfStep + 1e-9)
            warnings.push_back(std::string(field.name) + " " + field.typed +
                               " is beyond what its register holds and wraps: the servo will read back " +
                               field.shown);
    }
    if (const auto signal = ParseInteger(fields.Signal); signal && (*signal < 0 || *signal > 0xFFFF))
        warnings.push_back("signal " + fields.Signal + " is beyond 16 bits and wraps: the servo will read back " +
                           std::to_string(built.NeutralSignal()));
    return warnings;
}

std::string DescribeRecord(const TServoConfig& record, bool withSignal, char decimalSeparator)
{
    const TShownConfig shown = ShowConfig(record, decimalSeparator);
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
    for (int reg : kFieldRegisters) {
        std::snprintf(hex, sizeof hex, " %02X=%02X", reg, record.Bytes[static_cast<std::size_t>(reg)]);
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

nlohmann::json RecordJson(const TServoConfig& record, bool withSignal, char decimalSeparator)
{
    const TShownConfig shown = ShowConfig(record, decimalSeparator);
    nlohmann::json values = {{"deadBand", shown.DeadBand},
                             {"lock", shown.LockIndex == 1 ? "Y" : "N"},
                             {"pulseUpper", std::stoi(shown.Upper)},
                             {"pulseLower", std::stoi(shown.Lower)},
                             {"neutral", std::stoi(shown.Neutral)}};
    if (withSignal)
        values["signal"] = record.NeutralSignal();
    nlohmann::json registers = nlohmann::json::object();
    char key[4];
    char value[4];
    for (std::size_t reg = 0; reg < TServoConfig::kSize; ++reg) {
        const bool listed = std::find(std::begin(kFieldRegisters), std::end(kFieldRegisters), static_cast<int>(reg)) !=
                            std::end(kFieldRegisters);
        if (!listed && !(withSignal && reg >= 14))
            continue;
        std::snprintf(key, sizeof key, "%02zX", reg);
        std::snprintf(value, sizeof value, "%02X", record.Bytes[reg]);
        registers[key] = value;
    }
    return {{"values", values}, {"registers", registers}};
}

}  // namespace rvz::cli
