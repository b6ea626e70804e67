// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sending a record to the servo, shared by write, init, batch and undo:
// the history's line is written before the first byte goes out, a signal
// then lets the operation finish, a write that ends part-way says what the
// servo may now hold and how to put it back, --verify reads the registers
// back, and the history's line gets its outcome. A dry run says what would
// change instead.
// The commands themselves are SendCommands.cpp's.

#include <optional>
#include <string>

#include "Comparison.h"
#include "RunContext.h"
#include "ServoConfig.h"

namespace rvz::cli {

struct SendOutcome {
    int code;             // kExitOk, or why the record is not on the servo as sent
    std::string message;  // "written and verified", or the failure as a user reads it
    std::string result;   // for the history: "written", "written and verified", "kept other values", "failed"
    bool verified = false;
    // What the servo's settings hold afterwards, as read back or as sent;
    // nullopt when that is not known.
    std::optional<TServoConfig> after;
    // Nothing was sent: a signal came first, or the history could not take the write's line.
    bool nothingSent = false;
    // The write went out, but its outcome could not be added to the
    // history, which shows it as unfinished.
    std::optional<Failure> unrecorded = std::nullopt;
};

// What is about to be sent, and to what.
struct SendRequest {
    const char* command;  // write, init, batch or undo: for the history
    bool block;           // as one parameter block (as Initialize does), or register by register (as Write Config does)
    KnownRecord known;    // what the servo holds, as the history knows it
    TServoConfig servo;   // what the servo held when read
    TServoConfig record;  // what is sent
    std::string adapter;  // the adapter it goes through, as the history names it (see AdapterOf)
};

// The adapter the session opened, as the history names it; empty before one opened.
std::string AdapterOf(const TComm& comm);

// Sends the record: first the history's line that says what is about to
// be sent (nothing is sent without it), then the record, holding signals,
// then the outcome, to the user and to the history.
SendOutcome SendRecord(RunContext& run, TComm& comm, const SendRequest& request);

// Tells the user how a send ended (its message after okPrefix or
// failPrefix), and the command's exit code.
int EndSend(RunContext& run, const SendOutcome& outcome, const std::string& okPrefix = "",
            const std::string& failPrefix = "");

// Whether the history can take the line of a write, before anything is sent.
std::optional<Failure> CheckHistoryFirst(RunContext& run);

// A dry run's last check: whether the history has room for the lines the
// write would add (the disk, the file-size limit), as the real run needs.
std::optional<Failure> CheckHistoryRoom(RunContext& run, const SendRequest& request);

// What the servo holds, as the history knows it.
KnownRecord KnownServo(RunContext& run, const TServoConfig& read);

// A dry run's report: what sending record to a servo that holds before
// would change, and that nothing was sent.
std::string DryRunReport(const std::string& command, const KnownRecord& before, const TServoConfig& record,
                         bool block);

}  // namespace rvz::cli
