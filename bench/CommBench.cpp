// The protocol's own cost of the three user operations over the simulated
// adapter, to set against the 50 ms time-outs and a 1 ms USB frame.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "Attempts.h"
#include "Comm.h"
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

// How long the window is held by a Read Config that ends in "Fault", in the
// adapter's own time (virtual, so the figure does not depend on the
// machine): a silent servo, and replies later than the read time-out.
// Reported as the counter fault_ms.
void BM_ReadConfigFaultDuration(benchmark::State& state)
{
    const auto lateMs = state.range(0);
    double faultMs = 0;
    for (auto _ : state) {
        rvz::ManualLinkClock clock;
        SimulatedAdapter sim;
        sim.UseClock(clock);
        sim.SetServoSilent(lateMs < 0);
        sim.SetReplyDelay(rvz::LinkTime{std::max<std::int64_t>(lateMs, 0)});
        TComm comm(sim, clock);
        comm.OpenAdapter();
        std::array<std::uint8_t, 16> record{};
        const rvz::LinkTime start = clock.Now();
        benchmark::DoNotOptimize(rvz::WithAttempts(comm, [&] { return comm.ReadRegisters(record, ConfigMask, 11); }));
        faultMs = static_cast<double>((clock.Now() - start).count());
    }
    state.counters["fault_ms"] = faultMs;
}
BENCHMARK(BM_ReadConfigFaultDuration)->Arg(-1)->Arg(60)->Arg(120)->Arg(250);

}  // namespace

BENCHMARK_MAIN();
