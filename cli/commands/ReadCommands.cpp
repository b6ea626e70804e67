// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that send nothing to the servo: detect, read, show, make.
#include <nlohmann/json.hpp>

#include <sstream>

#include "Commands.h"
#include "ExitCodes.h"
#include "OutputFiles.h"
#include "RecordInput.h"
#include "RecordJson.h"
#include "RecordSource.h"

namespace rvz::cli {

namespace {

bool Print(RunContext& run, const TServoConfig& record, bool withSignal)
{
    if (run.options.json)
        return run.Emit(JsonText(RecordJson(record, withSignal)) + "\n");
    return run.Emit(DescribeRecord(record, withSignal));
}

// A path given as '' is refused, as an unset shell variable would give it.
std::optional<Failure> NotEmpty(const std::optional<std::string>& path, const char* option)
{
    if (path && path->empty())
        return Failure{kExitBadArguments, std::string(option) + " needs a file name"};
    return std::nullopt;
}

}  // namespace

namespace {

// What a poll found on one adapter.
struct Detected {
    std::optional<AdapterName> name;  // as the session opened it
    std::optional<Failure> failure;
    bool adapter = false;
    bool servo = false;
    std::string identification;  // hex, empty when the adapter did not identify
    LinkFailure why = LinkFailure::None;
    nlohmann::json Reason() const { return failure ? nlohmann::json(cli::Reason(why)) : nullptr; }
    nlohmann::json Identification() const
    {
        return identification.empty() ? nlohmann::json(nullptr) : nlohmann::json(identification);
    }
};

Detected DetectOne(RunContext& run, const AdapterChoice& choice)
{
    const auto comm = run.OpenSession(run.Bridge(), run.services.Clock(), choice);
    const Connection link = Connect(*comm, true);
    Detected found;
    found.adapter = link.stage != LinkStage::NoSession || link.failure == LinkFailure::Busy;
    found.servo = link.stage == LinkStage::ServoAnswers;
    found.failure = run.Describe(link, true);
    found.identification = link.identification ? HexBytes(*link.identification) : "";
    found.name = comm->OpenedAdapter();
    found.why = link.failure;
    return found;
}

nlohmann::json DetectedJson(const Detected& found, const AdapterName& name)
{
    return {{"index", name.index},
            {"port", name.port.empty() ? nlohmann::json(nullptr) : nlohmann::json(name.port)},
            {"identification", found.Identification()},
            {"servo", found.servo},
            {"reason", found.Reason()}};
}

std::string DetectedText(const Detected& found)
{
    if (found.identification.empty())
        return found.failure->message + "\n";
    return "servo adapter: identification " + found.identification + "\n" +
           (found.servo ? "a servo answers\n" : found.failure->message + "\n");
}

}  // namespace

int RunDetect(RunContext& run)
{
    // The adapter chosen, or every one attached; with none, the first, so
    // that its poll says why. The first poll is the one the other commands make.
    std::vector<std::pair<AdapterChoice, std::optional<AdapterName>>> polls;
    if (!run.options.adapter)
        for (const AdapterName& name : run.Adapters())
            polls.emplace_back(AdapterChoice::Of(name), name);
    if (polls.empty())
        polls.emplace_back(run.options.adapter.value_or(AdapterChoice::First()), std::nullopt);
    std::vector<Detected> all;
    int code = kExitOk;
    for (const auto& [choice, listed] : polls) {
        all.push_back(DetectOne(run, choice));
        if (!all.back().name)
            all.back().name = listed;  // listed, but not opened (busy, say)
        if (all.back().failure && code == kExitOk)
            code = all.back().failure->code;
    }
    const Detected& chosen = all.front();

    if (run.options.json) {
        // The first adapter's keys as before, for scripts that read one; "adapters" lists every one.
        nlohmann::json result = {
            {"adapter", chosen.adapter},
            {"identification", chosen.Identification()},
            {"servo", chosen.servo},
            {"reason", chosen.Reason()},
            {"adapters", nlohmann::json::array()}};
        for (const Detected& found : all)
            if (found.name)
                result["adapters"].push_back(DetectedJson(found, *found.name));
        return run.Emit(JsonText(result) + "\n") ? code : kExitFileError;
    }
    std::string text;
    // One adapter found as before, unless one was chosen: then it is named.
    if (all.size() < 2 && !(run.options.adapter && chosen.name)) {
        text = DetectedText(chosen);
    } else {
        for (const Detected& found : all) {
            text += "adapter " + AttachedText({found.name.value_or(AdapterName{})}) + ":\n";
            std::istringstream lines(DetectedText(found));
            for (std::string line; std::getline(lines, line);)
                text += "  " + line + "\n";
        }
    }
    return run.Emit(text) ? code : kExitFileError;
}

int RunRead(RunContext& run)
{
    if (auto failure = NotEmpty(run.options.output, "-o"))
        return run.Fail(*failure);
    if (run.options.output == kStandardStream && run.options.json)
        return run.Fail({kExitBadArguments, "-o - and --json both write to standard output; give one of them"});
    if (run.options.output && *run.options.output != kStandardStream)
        if (auto refused = CheckParamFileTarget(*run.options.output, run.options.force))
            return run.Fail({kExitFileError, "\"" + *run.options.output + "\" " + *refused});
    const auto comm = run.OpenSession();
    TServoConfig record;
    if (auto failure = ConnectAndReadServo(run, *comm, record))
        return run.Fail(*failure);
    if (run.options.output) {
        if (auto failure = SaveRecord(run, *run.options.output, AsSavedAfterRead(record)))
            return run.Fail(*failure);
        if (*run.options.output == kStandardStream)
            return kExitOk;
    }
    return Print(run, record, false) ? kExitOk : kExitFileError;
}

int RunShow(RunContext& run)
{
    TServoConfig record;
    if (auto failure = ReadParameterFile(run, run.options.file, record))
        return run.Fail(*failure);
    return Print(run, record, true) ? kExitOk : kExitFileError;
}

int RunMake(RunContext& run)
{
    if (auto failure = NotEmpty(run.options.output, "-o"))
        return run.Fail(*failure);
    std::vector<GivenValue> given;
    if (auto problem = ParseSettings(run.options.settings, given))
        return run.Fail({kExitBadArguments, *problem});
    // The window's starting values, then the settings.
    TServoConfig record;
    if (auto failure = BuildRecord(run, BuildConfig(TServoFields{}, kCliSeparator), given, record))
        return run.Fail(*failure);
    if (auto failure = SaveRecord(run, *run.options.output, record))
        return run.Fail(*failure);
    return kExitOk;
}

}  // namespace rvz::cli
