// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sending a record to the servo, shared by write, init, batch and undo:
// once the first byte goes out a signal lets the operation finish, a write
// that ends part-way says what the servo may now hold and how to put it
// back, --verify reads the registers back, and the history gets its line
// once the outcome is known. A dry run says what would change instead.
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
    // A signal came before the first byte, so none was sent.
    bool nothingSent = false;
};

// Sends record (block: as one parameter block, as Initialize does;
// otherwise register by register, as Write Config does) to a servo that
// held before.
SendOutcome SendRecord(RunContext& run, TComm& comm, const TServoConfig& before, const TServoConfig& record,
                       bool block);

// Whether the history can take the line of a write, before anything is sent.
std::optional<Failure> CheckHistoryFirst(RunContext& run);

// Appends the line of a write that may have changed the servo (before: as
// the history knows it). Why it could not, or nullopt.
std::optional<Failure> RecordInHistory(RunContext& run, const std::string& command, bool block,
                                       const KnownRecord& before, const TServoConfig& record,
                                       const SendOutcome& outcome);

// What the servo holds, as the history knows it.
KnownRecord KnownServo(RunContext& run, const TServoConfig& read);

// A dry run's report: what sending record to a servo that holds before
// would change, and that nothing was sent.
std::string DryRunReport(const std::string& command, const KnownRecord& before, const TServoConfig& record,
                         bool block);

}  // namespace rvz::cli
