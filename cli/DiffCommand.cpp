// SPDX-License-Identifier: GPL-3.0-or-later
// diff: two records compared as stored, each a parameter file, JSON as
// read --json prints it, standard input, or the servo (read once).
#include <nlohmann/json.hpp>

#include <algorithm>

#include "Commands.h"
#include "Comparison.h"
#include "ExitCodes.h"
#include "OutputFiles.h"
#include "RecordInput.h"

namespace rvz::cli {

namespace {

inline constexpr const char* kServoSide = "servo";

// JSON rather than a parameter record: named so, or text that opens with
// a brace and is not a record's 16 bytes.
bool LooksLikeJson(const std::string& name, const std::string& text)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.ends_with(".json"))
        return true;
    const auto first = text.find_first_not_of(" \t\r\n");
    return text.size() != TServoConfig::kSize && first != std::string::npos && text[first] == '{';
}

// One side as loaded. JSON's values are stored once the other side is
// known: as write stores them, on top of what that side holds, so that the
// bits of a register no value names are not made up.
struct Side {
    KnownRecord known;
    std::optional<std::vector<GivenValue>> given;
    std::string where;
};

// JSON's values stored on base; the registers given byte for byte, as they are.
std::optional<Failure> StoreJson(Side& side, const TServoConfig& base)
{
    side.known.record = base;
    for (const GivenValue& value : *side.given) {
        if (auto problem = StoreGiven(side.known.record, value))
            return Failure{kExitBadArguments, side.where + ": " + *problem};
        for (std::size_t reg : RegistersOf(value.field))
            side.known.known.set(reg);
    }
    return std::nullopt;
}

class DiffSides {
public:
    explicit DiffSides(RunContext& run) : m_run(run) {}

    std::optional<Failure> Load(const std::string& name, Side& loaded)
    {
        if (name == kServoSide)
            return Servo(loaded.known);
        KnownRecord& side = loaded.known;
        const std::string where = name == kStandardStream ? "standard input" : "\"" + name + "\"";
        std::string text;
        if (name == kStandardStream) {
            std::istream* in = m_run.services.Input();
            if (in)
                text.assign(std::istreambuf_iterator<char>(*in), std::istreambuf_iterator<char>());
        } else if (!ReadTextInput(name, text)) {
            return Failure{kExitFileError, where + " cannot be read (a missing file, a folder or a device?)"};
        }
        if (LooksLikeJson(name, text)) {
            loaded.where = where;
            loaded.given.emplace();
            if (auto problem = ValuesFromJson(text, where, *loaded.given))
                return Failure{kExitBadArguments, where + ": " + *problem};
            return std::nullopt;
        }
        if (text.size() < TServoConfig::kSize)
            return Failure{kExitFileError, where + " holds " + std::to_string(text.size()) +
                                               " bytes; a parameter record is 16"};
        if (text.size() > TServoConfig::kSize)
            m_run.Warn(where + " is " + std::to_string(text.size()) + " bytes long; only its first 16 are a parameter "
                                                                      "record");
        TServoConfig record;
        std::copy_n(text.begin(), TServoConfig::kSize, record.Bytes.begin());
        side = WholeRecord(record);
        return std::nullopt;
    }

private:
    // The servo is read once, however often it is named.
    std::optional<Failure> Servo(KnownRecord& side)
    {
        if (!m_servo) {
            const auto comm = m_run.OpenSession();
            if (auto failure = m_run.Connect(*comm, true))
                return failure;
            TServoConfig read;
            if (auto failure = ReadServo(*comm, read))
                return failure;
            m_servo = ReadFromServo(read);
        }
        side = *m_servo;
        return std::nullopt;
    }

    RunContext& m_run;
    std::optional<KnownRecord> m_servo;
};

}  // namespace

int RunDiff(RunContext& run)
{
    const Options& options = run.options;
    if (options.file == kStandardStream && options.other == kStandardStream)
        return run.Fail({kExitBadArguments, "standard input (-) can stand for one of the two sides only"});
    DiffSides sides(run);
    Side a;
    Side b;
    if (auto failure = sides.Load(options.file, a))
        return run.Fail(*failure);
    if (auto failure = sides.Load(options.other, b))
        return run.Fail(*failure);
    // Two JSON sides are each stored alone first, then on top of the other.
    const TServoConfig none{};
    for (int round = 0; round < (a.given && b.given ? 2 : 1); ++round) {
        const TServoConfig aBase = b.given && round == 0 ? none : b.known.record;
        const TServoConfig bBase = a.given && round == 0 ? none : a.known.record;
        if (a.given)
            if (auto failure = StoreJson(a, aBase))
                return run.Fail(*failure);
        if (b.given)
            if (auto failure = StoreJson(b, bBase))
                return run.Fail(*failure);
    }
    const KnownRecord& from = a.known;
    const KnownRecord& to = b.known;
    if ((from.known & to.known).none())
        return run.Fail({kExitBadArguments, "the two sides name no setting in common, so there is nothing to compare"});
    Differences differences = Compare(from, to);
    // A setting only one side knows (the servo's neutral signal) is not compared.
    differences.onlyTo.clear();
    const std::string text =
        options.json ? JsonText(DifferencesJson(from, to, differences)) + "\n" : DifferencesText(from, to, differences);
    if (!run.Emit(text))
        return kExitFileError;
    return differences.Equal() ? kExitOk : kExitDifferent;
}

}  // namespace rvz::cli
