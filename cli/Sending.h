// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sending a record to the servo, shared by write, init and batch: once the
// first byte goes out a signal lets the operation finish, a write that ends
// part-way says what the servo may now hold and how to put it back, and
// --verify reads the registers back.

#include <string>

#include "RunContext.h"
#include "ServoConfig.h"

namespace rvz::cli {

struct SendOutcome {
    int code;             // kExitOk, or why the record is not on the servo as sent
    std::string message;  // "written and verified", or the failure as a user reads it
};

// Sends record (block: as one parameter block, as Initialize does;
// otherwise register by register, as Write Config does) to a servo that
// held before.
SendOutcome SendRecord(RunContext& run, TComm& comm, const TServoConfig& before, const TServoConfig& record,
                       bool block);

}  // namespace rvz::cli
