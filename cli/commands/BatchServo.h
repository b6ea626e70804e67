// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One servo of a batch, shared by the batch that works one adapter and the
// one that works every attached adapter at once (BatchParallel.cpp).

#include <nlohmann/json.hpp>

#include <fstream>
#include <optional>
#include <string>

#include "ExitCodes.h"
#include "RecordInput.h"
#include "RunContext.h"

namespace rvz::cli {

// One servo's part of the batch: its log line, and the line for standard output.
struct ServoResult {
    int code = kExitOk;  // why it failed: a value refused (2), the write failed (6), other values kept (7) ...
    nlohmann::json log;
    std::string line;
    std::optional<Failure> stops;  // the batch cannot go on: the history cannot take its lines
};

// Reads, builds, sends and verifies one servo; logs only what was read or
// written. The log names the adapter; with nameAdapter the line does too.
ServoResult Program(RunContext& run, TComm& comm, int servo, const RecordRequest& request, bool nameAdapter);

// Opens --log for appending (a dry run only checks that it could).
std::optional<Failure> OpenBatchLog(RunContext& run, std::ofstream& log);

// Why --parallel cannot go with the other options given, or nullopt.
std::optional<Failure> RefuseParallel(RunContext& run);
// The batch with one session per attached adapter, each in its own thread.
int RunParallelBatch(RunContext& run, const RecordRequest& request, std::ofstream& log);

}  // namespace rvz::cli
