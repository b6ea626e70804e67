// The protocol's own cost of the three user operations over the simulated
// adapter, to set against the 50 ms time-outs and a 1 ms USB frame.
#include <benchmark/benchmark.h>

#include <algorithm>

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

}  // namespace

BENCHMARK_MAIN();
