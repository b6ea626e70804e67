// SPDX-License-Identifier: GPL-3.0-or-later
#include "Sending.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

#include "ExitCodes.h"
#include "History.h"
#include "OutputFiles.h"
#include "RecordInput.h"
#include "RecordJson.h"

namespace rvz::cli {

namespace {

// A path as a POSIX shell reads it back: in single quotes.
std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string AdapterOf(const TComm& comm) { return comm.OpenedAdapter() ? comm.OpenedAdapter()->Text() : ""; }

namespace {

// How to put back what the servo held before, on the adapter it is on:
// without --adapter the command would go to the first one, and another servo.
std::string RestoreCommand(RunContext& run, const TComm& comm, const TServoConfig& before)
{
    const std::string adapter = AdapterOf(comm);
    const std::string program = std::string(kProgram) + (IsFirstByNumber(adapter) ? "" : " --adapter " + adapter);
    if (run.options.backup)
        return program + " write " + Quoted(*run.options.backup);
    // Without a backup: every register a write sends, as it was, byte for
    // byte; registers given alone are sent as they are.
    const nlohmann::json registers = {{"registers", RegistersJson(ReadFromServo(before))}};
    return "echo '" + JsonText(registers) + "' | " + program + " write --json -";
}

// What a write that ended part-way may have left: read back when the servo
// still answers, otherwise every setting that was being written.
std::string AfterPartialWrite(RunContext& run, TComm& comm, const TServoConfig& before, const TServoConfig& record,
                              std::optional<TServoConfig>& found)
{
    std::string held;
    TServoConfig now;
    if (ReadConfig(comm, now.Bytes)) {
        found = now;
        for (const Setting& info : kSettings) {
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
    return held + "; put back what it held with: " + RestoreCommand(run, comm, before);
}

std::string RegistersKept(const TServoConfig& written, const Verification& check)
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

namespace {

std::string HistoryName(RunContext& run) { return "the history of writes \"" + run.HistoryFile().string() + "\""; }

// Why nothing is sent: the history cannot take the write's line.
Failure HistoryRefuses(RunContext& run, const std::string& problem)
{
    return {kExitFileError, HistoryName(run) + " cannot be written, so nothing was sent: " + problem};
}

// Said once a command: the line is in, but the history keeps growing.
void TellNotTrimmed(RunContext& run, const Appended& appended)
{
    if (!appended.notTrimmed || run.toldHistoryNotTrimmed)
        return;
    run.toldHistoryNotTrimmed = true;
    run.Warn(HistoryName(run) + " cannot be trimmed: " + *appended.notTrimmed + "; it keeps every line, and grows");
}

SendOutcome NothingSent(RunContext& run, const TServoConfig& servo)
{
    SendOutcome stopped{run.Stopped(), "", "not sent", false, servo};
    stopped.message = "stopped by " + SignalName(run.services.StopSignal()) + " before anything was sent";
    stopped.nothingSent = true;
    return stopped;
}

// What the servo holds after a send that went out, as the user is told it.
SendOutcome Outcome(RunContext& run, TComm& comm, const SendRequest& request, const OperationResult& sent)
{
    const TServoConfig& before = request.servo;
    const TServoConfig& record = request.record;
    const std::string done = request.block ? "parameter block sent" : "written";
    if (!sent && request.block)
        // The servo takes a block whole or not at all, so nothing is torn.
        return {kExitFailed, Failed("the parameter block", sent.failure) +
                                 "; the servo holds the block whole or not at all", "failed", false, std::nullopt};
    if (!sent) {
        SendOutcome failed{kExitFailed, "", "failed", false, std::nullopt};
        failed.message = Failed("the write", sent.failure) + "; " +
                         AfterPartialWrite(run, comm, before, record, failed.after);
        return failed;
    }
    SendOutcome written{kExitOk, done, "written", false, record};
    // A signal after the send stops the command before the read-back, or during it.
    const auto stopped = [&](int signal) {
        written.code = run.Stopped();
        written.message = done + "; then stopped by " + SignalName(signal) + ", with the servo holding what was asked" +
                          (run.options.verify ? " (not verified)" : "");
        return written;
    };
    if (const int signal = run.services.StopSignal(); signal != 0)
        return stopped(signal);
    if (!run.options.verify)
        return written;
    const Verification check = VerifyConfig(comm, record.Bytes);
    if (const int signal = run.services.StopSignal(); !check.read && check.read.failure == LinkFailure::Interrupted &&
                                                      signal != 0)
        return stopped(signal);
    if (!check.read) {
        written.code = kExitFailed;
        written.message = done + ", but the read-back failed: " + Reason(check.read.failure);
        return written;
    }
    written.after->Bytes = check.held;
    if (!check.differing.empty()) {
        written.code = kExitMismatch;
        written.message = done + ", but the servo kept other values (" + RegistersKept(record, check) +
                          "); write again or replace the servo";
        written.result = "kept other values";
        return written;
    }
    written.verified = true;
    written.result = "written and verified";
    written.message = done + " and verified" + (request.block ? " (the neutral signal cannot be read back)" : "");
    return written;
}

// The history's line of a write, as written before it is sent.
HistoryEntry AheadEntry(RunContext& run, const SendRequest& request)
{
    HistoryEntry entry;
    entry.id = NewEntryId();
    entry.time = run.services.Now();
    entry.command = request.command;
    entry.arguments = RecordedArguments(run.Arguments());
    entry.block = request.block;
    entry.before = request.known;
    entry.written = request.block ? WholeRecord(request.record) : ReadFromServo(request.record);
    entry.result = kUnfinished;
    entry.adapter = request.adapter;
    return entry;
}

}  // namespace

SendOutcome SendRecord(RunContext& run, TComm& comm, const SendRequest& request)
{
    if (run.Stopped() != 0)
        return NothingSent(run, request.servo);
    // Written before signals are held: a second Ctrl+C while another
    // program holds the history's lock still ends the program at once, and
    // the line then says no more than that the write may have begun.
    HistoryEntry entry = AheadEntry(run, request);
    const Appended ahead = AppendHistory(run.HistoryFile(), entry);
    TellNotTrimmed(run, ahead);
    if (ahead.failed) {
        SendOutcome refused{kExitFileError, HistoryRefuses(run, *ahead.failed).message, "not sent", false,
                            request.servo};
        refused.nothingSent = true;
        return refused;
    }
    OperationResult sent;
    {
        RunContext::Sending sending(run, comm);
        if (sending.StoppedBefore()) {  // came while the line was written
            entry.result = "not sent";
            AppendOutcome(run.HistoryFile(), entry);  // should it fail, the line says unfinished: no less true
            return NothingSent(run, request.servo);
        }
        sent = request.block ? SendBlock(comm, request.record.Bytes) : WriteConfig(comm, request.record.Bytes);
    }
    SendOutcome outcome = Outcome(run, comm, request, sent);
    if (outcome.after)
        entry.after = ReadFromServo(*outcome.after);
    entry.result = outcome.result;
    entry.verified = outcome.verified;
    const Appended done = AppendOutcome(run.HistoryFile(), entry);
    TellNotTrimmed(run, done);
    if (done.failed)
        outcome.unrecorded = Failure{kExitFileError, HistoryName(run) + ": the outcome of this write could not be "
                                                         "added: " + *done.failed + "; it shows the write as "
                                                         "unfinished"};
    return outcome;
}

int EndSend(RunContext& run, const SendOutcome& outcome, const std::string& okPrefix, const std::string& failPrefix)
{
    if (outcome.code != kExitOk) {
        if (outcome.unrecorded)
            run.Warn(outcome.unrecorded->message);
        return run.Fail({outcome.code, failPrefix + outcome.message});
    }
    if (!run.Emit(okPrefix + outcome.message + "\n"))
        return kExitFileError;
    return outcome.unrecorded ? run.Fail(*outcome.unrecorded) : kExitOk;
}

std::optional<Failure> CheckHistoryRoom(RunContext& run, const SendRequest& request)
{
    HistoryEntry entry = AheadEntry(run, request);
    const std::size_t ahead = JsonText(EntryJson(entry)).size();
    entry.after = entry.written;  // the longest outcome: one that names what the servo holds
    entry.result = "written and verified";
    const std::size_t outcome = JsonText(OutcomeJson(entry)).size();
    if (auto problem = CheckHistory(run.HistoryFile(), true, ahead + outcome + 3))  // and their line ends
        return HistoryRefuses(run, *problem);
    return std::nullopt;
}

std::optional<Failure> CheckHistoryFirst(RunContext& run)
{
    if (auto problem = CheckHistory(run.HistoryFile(), run.options.dryRun))
        return HistoryRefuses(run, *problem);
    return std::nullopt;
}

KnownRecord KnownServo(RunContext& run, const TServoConfig& read)
{
    HistoryReader history(run.HistoryFile());
    if (history.Open())
        return ReadFromServo(read);
    return KnownBefore(history, read);
}

std::string DryRunReport(const std::string& command, const KnownRecord& before, const TServoConfig& record,
                         bool block)
{
    const KnownRecord sent = block ? WholeRecord(record) : ReadFromServo(record);
    const Differences differences = Compare(before, sent);
    // The registers a servo cannot tell (the signal's two have their line).
    std::string untold;
    const std::vector<std::size_t> signal = RegistersOf(Field::Signal);
    for (std::size_t reg = 0; block && reg < TServoConfig::kSize; ++reg)
        if (!before.known[reg] && std::find(signal.begin(), signal.end(), reg) == signal.end())
            untold += (untold.empty() ? "" : ", ") + RegisterName(reg) + " " + HexByte(record.Bytes[reg]);
    if (!untold.empty())
        untold = "registers a servo cannot tell, sent as: " + untold + "\n";
    if (differences.Equal() && differences.onlyTo.empty() && untold.empty())
        return "dry run, nothing was sent: the servo holds what " + command + " would write\n";
    return "dry run, nothing was sent; " + command + " would change:\n" + DifferencesText(before, sent, differences) +
           untold;
}

}  // namespace rvz::cli
