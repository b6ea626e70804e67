// SPDX-License-Identifier: GPL-3.0-or-later
// The protocol's own cost of the three user operations over the simulated
// adapter, to set against the 50 ms time-outs and a 1 ms USB frame.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "Attempts.h"
#include "Comm.h"
#include "ServoOperations.h"
#include "SimulatedAdapter.h"

namespace {

using rvz::ConfigMask;
using rvz::SimulatedAdapter;
using rvz::TComm;

void BM_ReadConfig(benchmark::State& state)
{
    SimulatedAdapter sim;
    TComm comm(sim);
    comm.OpenAdapter();
    std::array<std::uint8_t, 16> record{};
    for (auto _ : state)
        benchmark::DoNotOptimize(comm.ReadRegisters(record, ConfigMask, 11));
}
BENCHMARK(BM_ReadConfig);

void BM_WriteConfig(benchmark::State& state)
{
    SimulatedAdapter sim;
    TComm comm(sim);
    comm.OpenAdapter();
    const auto record = SimulatedAdapter::kFactoryRegisters;
    for (auto _ : state)
        benchmark::DoNotOptimize(comm.WriteRegisters(record, ConfigMask, 11));
}
BENCHMARK(BM_WriteConfig);

void BM_InitialiseBlock(benchmark::State& state)
{
    SimulatedAdapter sim;
    TComm comm(sim);
    comm.OpenAdapter();
    std::array<std::uint8_t, 17> block{};
    std::copy(SimulatedAdapter::kFactoryRegisters.begin(), SimulatedAdapter::kFactoryRegisters.end(), block.begin());
    for (auto _ : state)
        benchmark::DoNotOptimize(comm.WriteBlock(block));
}
BENCHMARK(BM_InitialiseBlock);

void BM_PollSteadyLink(benchmark::State& state)
{
    SimulatedAdapter sim;
    TComm comm(sim);
    for (auto _ : state)
        benchmark::DoNotOptimize(comm.OpenAdapter());
}
BENCHMARK(BM_PollSteadyLink);

// How long a Read Config that ends in "Fault" holds the window, and how
// long closing the session then waits for replies still on their way, in
// the adapter's own time (virtual, so the figures do not depend on the
// machine): a silent servo (-1), and replies later than the read time-out.
// Reported as the counters fault_ms and close_ms.
void BM_ReadConfigFaultDuration(benchmark::State& state)
{
    const auto lateMs = state.range(0);
    double faultMs = 0;
    double closeMs = 0;
    for (auto _ : state) {
        rvz::ManualLinkClock clock;
        SimulatedAdapter sim;
        sim.UseClock(clock);
        sim.SetServoSilent(lateMs < 0);
        sim.SetReplyDelay(rvz::LinkTime{std::max<std::int64_t>(lateMs, 0)});
        TComm comm(sim, clock);
        comm.OpenAdapter();
        rvz::RegisterRecord record{};
        const rvz::LinkTime start = clock.Now();
        benchmark::DoNotOptimize(rvz::ReadConfig(comm, record));
        const rvz::LinkTime failed = clock.Now();
        comm.CloseAdapter();
        faultMs = static_cast<double>((failed - start).count());
        closeMs = static_cast<double>((clock.Now() - failed).count());
    }
    state.counters["fault_ms"] = faultMs;
    state.counters["close_ms"] = closeMs;
}
BENCHMARK(BM_ReadConfigFaultDuration)->Arg(-1)->Arg(60)->Arg(120)->Arg(250)->Arg(350)->Arg(600)->Arg(1000);

// A Read Config whose first reply is lost and whose retry succeeds: the
// retry's replies came while the lost one was owed, so it is confirmed on
// a quiet link. Reported as the counter read_ms, in virtual time.
void BM_ReadConfigAfterALostReply(benchmark::State& state)
{
    double readMs = 0;
    for (auto _ : state) {
        rvz::ManualLinkClock clock;
        SimulatedAdapter sim;
        sim.UseClock(clock);
        TComm comm(sim, clock);
        comm.OpenAdapter();
        sim.LoseReplies(1);
        rvz::RegisterRecord record{};
        const rvz::LinkTime start = clock.Now();
        benchmark::DoNotOptimize(rvz::ReadConfig(comm, record));
        readMs = static_cast<double>((clock.Now() - start).count());
    }
    state.counters["read_ms"] = readMs;
}
BENCHMARK(BM_ReadConfigAfterALostReply);

}  // namespace

BENCHMARK_MAIN();
