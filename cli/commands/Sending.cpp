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

// How to put back what the servo held before.
std::string RestoreCommand(RunContext& run, const TServoConfig& before)
{
    if (run.options.backup)
        return std::string(kProgram) + " write " + Quoted(*run.options.backup);
    // Without a backup: every register a write sends, as it was, byte for
    // byte; registers given alone are sent as they are.
    const nlohmann::json registers = {{"registers", RegistersJson(ReadFromServo(before))}};
    return "echo '" + JsonText(registers) + "' | " + kProgram + " write --json -";
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
    return held + "; put back what it held with: " + RestoreCommand(run, before);
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

SendOutcome SendRecord(RunContext& run, TComm& comm, const TServoConfig& before, const TServoConfig& record,
                       bool block)
{
    OperationResult sent;
    {
        RunContext::Sending sending(run, comm);
        if (sending.StoppedBefore()) {
            SendOutcome stopped{run.Stopped(), "", "not sent", false, before};
            stopped.message = "stopped by " + SignalName(run.services.StopSignal()) + " before anything was sent";
            stopped.nothingSent = true;
            return stopped;
        }
        sent = block ? SendBlock(comm, record.Bytes) : WriteConfig(comm, record.Bytes);
    }
    const std::string done = block ? "parameter block sent" : "written";
    if (!sent && block)
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
    if (const int signal = run.services.StopSignal(); signal != 0) {
        written.code = run.Stopped();
        written.message = done + "; then stopped by " + SignalName(signal) + ", with the servo holding what was asked" +
                          (run.options.verify ? " (not verified)" : "");
        return written;
    }
    if (!run.options.verify)
        return written;
    const Verification check = VerifyConfig(comm, record.Bytes);
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
    written.message = done + " and verified" + (block ? " (the neutral signal cannot be read back)" : "");
    return written;
}

std::optional<Failure> CheckHistoryFirst(RunContext& run)
{
    if (auto problem = CheckHistory(run.HistoryFile(), run.options.dryRun))
        return Failure{kExitFileError, "the history of writes \"" + run.HistoryFile().string() + "\" " +
                                           "cannot be written, so nothing was sent: " + *problem};
    return std::nullopt;
}

KnownRecord KnownServo(RunContext& run, const TServoConfig& read)
{
    std::vector<HistoryEntry> entries;
    int skipped = 0;
    ReadHistory(run.HistoryFile(), entries, skipped);
    return KnownBefore(entries, read);
}

std::optional<Failure> RecordInHistory(RunContext& run, const std::string& command, bool block,
                                       const KnownRecord& before, const TServoConfig& record,
                                       const SendOutcome& outcome)
{
    if (outcome.nothingSent)
        return std::nullopt;  // the servo is as it was
    HistoryEntry entry;
    entry.time = run.services.Now();
    entry.command = command;
    entry.arguments = run.Arguments();
    entry.block = block;
    entry.before = before;
    entry.written = block ? WholeRecord(record) : ReadFromServo(record);
    if (outcome.after)
        entry.after = ReadFromServo(*outcome.after);
    entry.result = outcome.result;
    entry.verified = outcome.verified;
    if (auto problem = AppendHistory(run.HistoryFile(), entry))
        return Failure{kExitFileError, "the history of writes \"" + run.HistoryFile().string() + "\": " + *problem +
                                           "; undo will not know of this write"};
    return std::nullopt;
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
