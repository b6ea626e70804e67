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
#include "RecordJson.h"
#include "RecordSource.h"

namespace rvz::cli {

namespace {

inline constexpr const char* kServoSide = "servo";

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
        RecordSource source;
        if (auto failure = ReadRecordSource(m_run, name, false, source))
            return failure;
        loaded.where = source.where;
        if (source.given)
            loaded.given = std::move(source.given);
        else
            loaded.known = WholeRecord(*source.record);
        return std::nullopt;
    }

private:
    // The servo is read once, however often it is named.
    std::optional<Failure> Servo(KnownRecord& side)
    {
        if (!m_servo) {
            const auto comm = m_run.OpenSession();
            TServoConfig read;
            if (auto failure = ConnectAndReadServo(m_run, *comm, read))
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
