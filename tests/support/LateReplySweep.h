// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operations the window and the command line run, each with its three
// attempts, judged against what the servo really holds: a failure is fine,
// a success must carry exactly the servo's values. Shared by the sweeps
// over the simulated adapter and over the virtual USB adapter.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Attempts.h"
#include "Comm.h"
#include "SimulatedAdapter.h"

namespace rvz::test {

// WriteConfig reads back after the write, as --verify does.
enum class ServoOperation { ReadConfig, WriteConfig, Initialize, Identify };

// One row of a sweep: an operation against replies delay late, plus up to
// jitter more; and the row's test name.
struct LateRow {
    ServoOperation operation;
    LinkTime delay;
    LinkTime jitter;
};
std::string RowName(const ::testing::TestParamInfo<LateRow>& row);

// Every operation against each of the delays, and against each (delay, jitter) pair.
std::vector<LateRow> SweepRows(const std::vector<int>& delaysMs, const std::vector<std::pair<int, int>>& jittered);

// Registers that differ from each other, so that a reply taken for the
// wrong register shows; the bank stays 0.
inline constexpr SimulatedAdapter::Registers kDistinctRegisters{0x00, 0x21, 0x32, 0x43, 0x54, 0x65, 0x01, 0x47,
                                                                0x9A, 0x8B, 0x0C, 0x1D, 0x2E, 0x3F, 0x05, 0xDC};

// "02 A0 " and so on, for messages.
std::string HexText(std::span<const std::uint8_t> bytes);

struct Judgement {
    bool succeeded = false;
    std::string wrong;  // empty unless a success carried values the servo does not hold
};

// servo gives the registers the servo holds now; identification is what
// the adapter answers to identify. A write or block sends target, or
// without one every register it reaches changed.
Judgement RunAndJudge(ServoOperation operation, TComm& comm,
                      const std::function<SimulatedAdapter::Registers()>& servo,
                      const SimulatedAdapter::Identification& identification,
                      const std::optional<SimulatedAdapter::Registers>& target = std::nullopt);

}  // namespace rvz::test
