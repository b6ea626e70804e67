// SPDX-License-Identifier: GPL-3.0-or-later
// batch: programs servo after servo. Each servo is plugged in with its
// adapter, read, written (and verified), logged, and unplugged with its
// adapter; a servo counts as replaced only when the adapter has gone and
// come back, never because a probe went unanswered.
#include <nlohmann/json.hpp>

#include <fstream>

#include "BatchServo.h"
#include "Commands.h"
#include "ExitCodes.h"
#include "OutputFiles.h"
#include "RecordInput.h"
#include "RecordJson.h"
#include "Sending.h"

namespace rvz::cli {

namespace {

ServoResult Fails(ServoResult result, int code, const std::string& error, const char* how = "failed")
{
    result.code = code;
    result.log["result"] = how;
    result.log["error"] = error;
    result.line += how == std::string("failed") ? "failed (" + error + ")" : error;  // the error says what was kept
    return result;
}

}  // namespace

ServoResult Program(RunContext& run, TComm& comm, int servo, const RecordRequest& request, bool nameAdapter)
{
    ServoResult result;
    result.log = {{"time", run.services.Now()}, {"servo", servo}};
    const std::string adapter = AdapterOf(comm);
    if (!adapter.empty())
        result.log["adapter"] = adapter;
    result.line = (nameAdapter ? "adapter " + adapter + ": " : "") + "servo " + std::to_string(servo) + ": ";
    TServoConfig before;
    if (auto failure = ReadServo(comm, before))
        return Fails(std::move(result), failure->code, failure->message);
    result.log["before"] = RecordJson(before, false);
    TServoConfig record;
    if (auto failure = BuildRecord(run, request.file.value_or(before), request.given, record))
        return Fails(std::move(result), failure->code, failure->message);
    const SendRequest send{"batch", false, ReadFromServo(before), before, record, AdapterOf(comm)};
    if (run.options.dryRun) {
        if (auto failure = CheckHistoryRoom(run, send))
            return Fails(std::move(result), failure->code, failure->message);
        result.line += DryRunReport("the batch", ReadFromServo(before), record, false);
        return result;
    }
    const SendOutcome outcome = SendRecord(run, comm, send);
    result.stops = outcome.unrecorded;
    if (outcome.nothingSent && outcome.code == kExitFileError)
        result.stops = Failure{outcome.code, outcome.message};
    const bool written = !outcome.nothingSent && (outcome.code == kExitOk || outcome.code == run.Stopped() ||
                                                  outcome.code == kExitMismatch);
    if (!written)
        return Fails(std::move(result), outcome.code, outcome.message);
    const nlohmann::json sent = RecordJson(record, false);
    result.log["values"] = sent["values"];
    result.log["registers"] = sent["registers"];
    if (outcome.code == kExitMismatch) {
        result.log["after"] = RecordJson(*outcome.after, false);
        return Fails(std::move(result), outcome.code, outcome.message, "kept other values");
    }
    result.log["result"] = run.options.verify && outcome.code == kExitOk ? "written and verified" : "written";
    // A signal after the send leaves it unverified, and the line says so.
    result.line += outcome.code == kExitOk ? result.log["result"].get<std::string>() : outcome.message;
    return result;
}

namespace {

// Polls until condition holds; false when a signal came first.
template <typename Condition>
bool WaitUntil(RunContext& run, Condition&& condition)
{
    while (run.Stopped() == 0) {
        if (condition())
            return true;
        run.services.Pause(kPollInterval);
    }
    return false;
}

}  // namespace

std::optional<Failure> OpenBatchLog(RunContext& run, std::ofstream& log)
{
    const Options& options = run.options;
    if (options.log)
        if (auto refused = options.dryRun ? CheckCanWrite(*options.log, OutputMode::Append)
                                          : OpenTextOutput(*options.log, OutputMode::Append, log))
            return Failure{kExitFileError, "the log \"" + *options.log + "\" " + *refused};
    return std::nullopt;
}

int RunBatch(RunContext& run)
{
    const Options& options = run.options;
    if (options.file.empty() && options.settings.empty())
        return run.Fail({kExitBadArguments, "give a parameter file or --set NAME=VALUE (see --help)"});
    if (options.log && (options.log->empty() || *options.log == kStandardStream))
        return run.Fail({kExitBadArguments, "--log needs the name of a file (standard output carries the results)"});
    if (options.parallel)
        if (auto refused = RefuseParallel(run))
            return run.Fail(*refused);
    RecordRequest request;
    if (auto failure = ReadRequest(run, false, request))
        return run.Fail(*failure);
    if (auto failure = CheckValuesAlone(run, request.given))
        return run.Fail(*failure);
    // A parameter file gives every servo the same record, checked before the first.
    if (request.file) {
        TServoConfig record;
        if (auto failure = BuildRecord(run, *request.file, request.given, record))
            return run.Fail(*failure);
    }
    if (auto failure = CheckHistoryFirst(run))
        return run.Fail(*failure);
    std::ofstream log;
    if (auto failure = OpenBatchLog(run, log))
        return run.Fail(*failure);
    if (options.parallel)
        return RunParallelBatch(run, request, log);

    const auto comm = run.OpenSession();
    // An adapter another program holds is waited for like one not plugged
    // in yet, but said to be busy, with its holder, once while it stays so.
    bool saidBusy = false;
    auto servoAnswers = [&] {
        const Connection link = Connect(*comm, true);
        const bool busy = link.stage == LinkStage::NoSession && link.failure == LinkFailure::Busy;
        if (busy && !saidBusy)
            run.Instruct(Reason(link.failure) + run.Holders() +
                         ": close it, or wait until it ends; the batch goes on once it is free");
        saidBusy = busy;
        return link.stage == LinkStage::ServoAnswers;
    };
    int done = 0;
    int failed = 0;
    int firstFailure = kExitOk;  // the batch ends with the code of its first failed servo
    auto tally = [&] { return "done: " + std::to_string(done) + ", failed: " + std::to_string(failed) + "\n"; };
    for (int servo = 1; options.count <= 0 || servo <= options.count; ++servo) {
        run.Instruct("waiting for servo " + std::to_string(servo) + ": plug it in with its adapter (Ctrl+C ends the batch)");
        if (!WaitUntil(run, servoAnswers))
            break;
        const ServoResult result = Program(run, *comm, servo, request, false);
        const bool ok = result.code == kExitOk;
        if (!ok && !result.log.contains("before") && run.Stopped() != 0)
            break;  // stopped before anything of this servo was read
        if (options.dryRun)
            return run.Emit(result.line + (ok ? "" : "\n")) ? result.code : kExitFileError;
        (ok ? done : failed) += 1;
        if (!ok && firstFailure == kExitOk)
            firstFailure = result.code;
        // The log line first: a servo programmed is never without it.
        if (log.is_open()) {
            log << JsonText(result.log) << "\n";
            log.flush();
            if (!log) {
                run.Emit(tally());
                return run.Fail({kExitFileError, "the log \"" + *options.log + "\" could not be written; the batch "
                                                 "stopped after servo " + std::to_string(servo)});
            }
        }
        if (!run.Emit(result.line + "\n"))
            return kExitFileError;
        if (result.stops) {
            run.Emit(tally());
            return run.Fail({result.stops->code, result.stops->message + "; the batch stopped at servo " +
                                                     std::to_string(servo)});
        }
        if (run.Stopped() != 0 || servo == options.count)
            break;
        run.services.ServoProgrammed();
        run.Instruct("unplug the adapter with servo " + std::to_string(servo));
        if (!WaitUntil(run, [&] { return !comm->OpenAdapter(); }))
            break;
    }
    if (!run.Emit(tally()))
        return kExitFileError;
    if (const int stopped = run.Stopped())
        return stopped;
    return firstFailure;
}

}  // namespace rvz::cli
