// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that send to the servo: write (register by register, as
// Write Config) and init (the whole block, as Initialize). Everything is
// checked and the backup kept before the first byte goes out; once it has,
// a signal lets the operation finish, and a write that ends part-way says
// what the servo may now hold and how to put it back.
#include <cstdio>

#include "Commands.h"
#include "ExitCodes.h"
#include "OutputFiles.h"
#include "RecordInput.h"
#include "Sending.h"

namespace rvz::cli {

namespace {

struct Plan {
    RecordRequest request;
    TServoConfig before;  // what the servo held
    TServoConfig record;  // what is sent
};

// A path as a POSIX shell reads it back: in single quotes.
std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

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
// link, what the servo holds, the record, and the backup.
std::optional<Failure> Prepare(RunContext& run, TComm& comm, bool sendsSignal, Plan& plan)
{
    if (auto failure = CheckArguments(run))
        return failure;
    if (auto failure = ReadRequest(run, sendsSignal, plan.request))
        return failure;
    if (auto failure = run.Connect(comm, true))
        return failure;
    if (auto failure = ReadServo(comm, plan.before))
        return failure;
    if (auto failure = BuildRecord(run, plan.request.file.value_or(plan.before), plan.request.given, plan.record))
        return failure;
    if (run.options.backup)
        if (auto failure = SaveRecord(run, *run.options.backup, AsSavedAfterRead(plan.before)))
            return Failure{failure->code, "no backup, so nothing was sent: " + failure->message};
    return std::nullopt;
}

// How to put back what the servo held before.
std::string RestoreCommand(RunContext& run, const TServoConfig& before)
{
    if (run.options.backup)
        return std::string(kProgram) + " write " + Quoted(*run.options.backup);
    // Without a backup: every register a write sends, as it was, byte for
    // byte; registers given alone are sent as they are.
    std::string registers;
    for (std::size_t reg : kConfigRegisters) {
        char pair[16];
        std::snprintf(pair, sizeof pair, "%s\"%02zX\":\"%02X\"", registers.empty() ? "" : ",", reg, before.Bytes[reg]);
        registers += pair;
    }
    return "echo '{\"registers\":{" + registers + "}}' | " + kProgram + " write --json -";
}

// What a write that ended part-way may have left: read back when the servo
// still answers, otherwise every setting that was being written.
std::string AfterPartialWrite(RunContext& run, TComm& comm, const TServoConfig& before, const TServoConfig& record)
{
    std::string held;
    TServoConfig now;
    if (ReadConfig(comm, now.Bytes)) {
        for (const SettingInfo& info : kSettings) {
            if (info.field == Field::Signal)
                continue;
            TServoConfig asked = now;
            CopyField(asked, record, info.field);
            TServoConfig old = now;
            CopyField(old, before, info.field);
            if (asked == old)
                continue;  // not changed by this write
            const char* how = now == asked ? "as asked" : now == old ? "as before" : "neither: torn";
            held += (held.empty() ? "" : ", ") + std::string(info.name) + " " + ShownValue(now, info.field) + " (" +
                    how + ")";
        }
        held = "the servo now holds " + held;
    } else {
        TServoConfig sent = record;
        CopyField(sent, before, Field::Signal);  // a write leaves registers 0E and 0F alone
        const std::string changed = ChangedSettings(before, sent);
        held = "the servo may now hold the new or the old value of each of " + changed +
               (changed.find("neutral") != std::string::npos
                    ? ", or a neutral position with only one of its two registers written"
                    : "");
    }
    return held + "; put back what it held with: " + RestoreCommand(run, before);
}

std::string SignalName(int signal)
{
    switch (signal) {
    case 1:
        return "SIGHUP";
    case 15:
        return "SIGTERM";
    default:
        return "Ctrl+C";
    }
}

std::string Differences(const TServoConfig& written, const Verification& check)
{
    std::string differences;
    char line[48];
    for (std::size_t reg : check.differing) {
        std::snprintf(line, sizeof line, "%sregister %02zX wrote %02X read %02X", differences.empty() ? "" : ", ", reg,
                      written.Bytes[reg], check.held[reg]);
        differences += line;
    }
    return differences;
}

}  // namespace

SendOutcome SendRecord(RunContext& run, TComm& comm, const TServoConfig& before, const TServoConfig& record,
                       bool block)
{
    OperationResult sent;
    {
        RunContext::Sending sending(run, comm);
        sent = block ? SendBlock(comm, record.Bytes) : WriteConfig(comm, record.Bytes);
    }
    const std::string done = block ? "parameter block sent" : "written";
    if (!sent && block)
        // The servo takes a block whole or not at all, so nothing is torn.
        return {kExitFailed, Failed("the parameter block", sent.failure) +
                                 "; the servo holds the block whole or not at all"};
    if (!sent)
        return {kExitFailed, Failed("the write", sent.failure) + "; " +
                                 AfterPartialWrite(run, comm, before, record)};
    if (const int signal = run.services.StopSignal(); signal != 0)
        return {run.Stopped(), done + "; then stopped by " + SignalName(signal) + ", with the servo holding what was "
                               "asked" + (run.options.verify ? " (not verified)" : "")};
    if (!run.options.verify)
        return {kExitOk, done};
    const Verification check = VerifyConfig(comm, record.Bytes);
    if (!check.read)
        return {kExitFailed, done + ", but the read-back failed: " + Reason(check.read.failure)};
    if (!check.differing.empty())
        return {kExitMismatch, done + ", but the servo kept other values (" + Differences(record, check) +
                                   "); write again or replace the servo"};
    return {kExitOk, done + " and verified" + (block ? " (the neutral signal cannot be read back)" : "")};
}

namespace {

int Send(RunContext& run, bool block)
{
    const auto comm = run.OpenSession();
    Plan plan;
    if (auto failure = Prepare(run, *comm, block, plan))
        return run.Fail(*failure);
    const SendOutcome outcome = SendRecord(run, *comm, plan.before, plan.record, block);
    if (outcome.code != kExitOk)
        return run.Fail({outcome.code, outcome.message});
    return run.Emit(outcome.message + "\n") ? kExitOk : kExitFileError;
}

}  // namespace

int RunWrite(RunContext& run) { return Send(run, false); }

int RunInit(RunContext& run) { return Send(run, true); }

}  // namespace rvz::cli
