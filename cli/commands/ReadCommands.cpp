// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that send nothing to the servo: detect, read, show, make.
#include <nlohmann/json.hpp>

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

int RunDetect(RunContext& run)
{
    const auto comm = run.OpenSession();
    const Connection link = Connect(*comm, true);
    const bool adapter = link.stage != LinkStage::NoSession || link.failure == LinkFailure::Busy;
    const bool ours = link.Identified();
    const bool servo = link.stage == LinkStage::ServoAnswers;
    const std::optional<Failure> failure = run.Describe(link, true);
    const std::string identification = link.identification ? HexBytes(*link.identification) : "";
    if (run.options.json) {
        const nlohmann::json result = {
            {"adapter", adapter}, {"identification", link.identification ? nlohmann::json(identification) : nullptr},
            {"servo", servo}, {"reason", failure ? nlohmann::json(Reason(link.failure)) : nullptr}};
        return run.Emit(JsonText(result) + "\n") ? (failure ? failure->code : kExitOk) : kExitFileError;
    }
    std::string text;
    if (!ours)
        text = failure->message + "\n";
    else
        text = "servo adapter: identification " + identification + "\n" +
               (servo ? "a servo answers\n" : failure->message + "\n");
    return run.Emit(text) ? (failure ? failure->code : kExitOk) : kExitFileError;
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
