// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that send to the servo: write (register by register, as
// Write Config) and init (the whole block, as Initialize). Everything is
// checked and the backup kept before the first byte goes out; once it has,
// a signal lets the operation finish, and a write that ends part-way says
// what the servo may now hold and how to put it back.
#include "Commands.h"
#include "ExitCodes.h"
#include "History.h"
#include "OutputFiles.h"
#include "RecordInput.h"
#include "RecordJson.h"
#include "Sending.h"

namespace rvz::cli {

namespace {

struct Plan {
    RecordRequest request;
    TServoConfig before;  // what the servo held
    TServoConfig record;  // what is sent
};

std::optional<Failure> CheckArguments(RunContext& run)
{
    const Options& options = run.options;
    if (options.file.empty() && options.settings.empty())
        return Failure{kExitBadArguments, "give a parameter file or --set NAME=VALUE (see --help)"};
    if (!options.backup)
        return std::nullopt;
    if (options.backup->empty() || *options.backup == kStandardStream)
        return Failure{kExitBadArguments, "--backup needs the name of a file, to be written back from later"};
    if (auto refused = CheckBackupTarget(*options.backup, options.file, options.force))
        return Failure{kExitFileError, "the backup \"" + *options.backup + "\" " + *refused};
    return std::nullopt;
}

// Everything before the first byte is sent: the arguments and files, the
// link, what the servo holds, the record, the history and the backup. A
// dry run checks that the backup could be written, and writes none.
std::optional<Failure> Prepare(RunContext& run, TComm& comm, bool sendsSignal, Plan& plan)
{
    if (auto failure = CheckArguments(run))
        return failure;
    if (auto failure = ReadRequest(run, sendsSignal, plan.request))
        return failure;
    if (auto failure = ConnectAndReadServo(run, comm, plan.before))
        return failure;
    if (auto failure = BuildRecord(run, plan.request.file.value_or(plan.before), plan.request.given, plan.record))
        return failure;
    if (auto failure = CheckHistoryFirst(run))
        return failure;
    if (!run.options.backup)
        return std::nullopt;
    if (!run.options.dryRun)
        if (auto failure = SaveRecord(run, *run.options.backup, AsSavedAfterRead(plan.before)))
            return Failure{failure->code, "no backup, so nothing was sent: " + failure->message};
    if (auto refused = CheckCanWrite(*run.options.backup, OutputMode::Replace))
        return Failure{kExitFileError, "no backup, so nothing was sent: \"" + *run.options.backup + "\" " + *refused};
    return std::nullopt;
}

int Send(RunContext& run, bool block)
{
    const auto comm = run.OpenSession();
    Plan plan;
    if (auto failure = Prepare(run, *comm, block, plan))
        return run.Fail(*failure);
    const char* command = block ? "init" : "write";
    const KnownRecord known = block ? KnownServo(run, plan.before) : ReadFromServo(plan.before);
    const SendRequest request{command, block, known, plan.before, plan.record, AdapterOf(*comm)};
    if (!run.options.dryRun)
        return EndSend(run, SendRecord(run, *comm, request));
    if (auto failure = CheckHistoryRoom(run, request))
        return run.Fail(*failure);
    // As read: what the history knows holds only for the servo its blocks went to.
    return run.Emit(DryRunReport(command, ReadFromServo(plan.before), plan.record, block)) ? kExitOk : kExitFileError;
}

}  // namespace

int RunWrite(RunContext& run) { return Send(run, false); }

int RunInit(RunContext& run) { return Send(run, true); }

}  // namespace rvz::cli
