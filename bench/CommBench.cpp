// SPDX-License-Identifier: GPL-3.0-or-later
// The protocol's own cost of the three user operations over the simulated
// adapter, to set against the 50 ms time-outs and a 1 ms USB frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>

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
    rvz::Connect(comm, false);
    std::array<std::uint8_t, 16> record{};
    for (auto _ : state)
        benchmark::DoNotOptimize(comm.ReadRegisters(record, ConfigMask, 11));
}
BENCHMARK(BM_ReadConfig);

void BM_WriteConfig(benchmark::State& state)
{
    SimulatedAdapter sim;
    TComm comm(sim);
    rvz::Connect(comm, false);
    const auto record = SimulatedAdapter::kFactoryRegisters;
    for (auto _ : state)
        benchmark::DoNotOptimize(comm.WriteRegisters(record, ConfigMask, 11));
}
BENCHMARK(BM_WriteConfig);

void BM_InitialiseBlock(benchmark::State& state)
{
    SimulatedAdapter sim;
    TComm comm(sim);
    rvz::Connect(comm, false);
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
        TComm comm(sim, clock);
        rvz::Connect(comm, false);
        sim.SetServoSilent(lateMs < 0);
        sim.SetReplyDelay(rvz::LinkTime{std::max<std::int64_t>(lateMs, 0)});
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
        rvz::Connect(comm, false);
        sim.LoseReplies(1);
        rvz::RegisterRecord record{};
        const rvz::LinkTime start = clock.Now();
        benchmark::DoNotOptimize(rvz::ReadConfig(comm, record));
        readMs = static_cast<double>((clock.Now() - start).count());
    }
    state.counters["read_ms"] = readMs;
}
BENCHMARK(BM_ReadConfigAfterALostReply);

// What a program pays to start: open, identify, probe and read as the
// command line does, in a fresh session, over an adapter whose replies take
// their line time (rounded up to whole milliseconds, about a USB frame's
// worth). Arg 0: no notes are kept; 1: the notes are kept in a folder, and
// the last session on the adapter ended cleanly.
void BM_StartAndRead(benchmark::State& state)
{
    const bool notes = state.range(0) != 0;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "rvz-bench-session-notes";
    std::filesystem::create_directories(folder);
    rvz::FileSessionRecords records(notes ? folder : std::filesystem::path());
    SimulatedAdapter sim;
    sim.UseClock(rvz::SteadyLinkClock());
    sim.SetSessionKey("bench-adapter");
    for (auto _ : state) {
        TComm comm(sim, rvz::SteadyLinkClock(), records);
        rvz::RegisterRecord record{};
        benchmark::DoNotOptimize(rvz::Connect(comm, true).stage == rvz::LinkStage::ServoAnswers &&
                                 rvz::ReadConfig(comm, record));
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_StartAndRead)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same start in the adapter's own time, after the last program on the
// adapter ended cleanly (0) or was killed as its command went out (1), the
// servo answering in 2 ms. Reported as the counter start_ms.
void BM_StartAfterTheLastProgram(benchmark::State& state)
{
    const bool killed = state.range(0) != 0;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "rvz-bench-session-notes-virtual";
    double startMs = 0;
    for (auto _ : state) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        rvz::FileSessionRecords records(folder);
        rvz::ManualLinkClock clock;
        SimulatedAdapter sim;
        sim.UseClock(clock);
        sim.SetSessionKey("bench-adapter");
        sim.SetReplyDelay(rvz::LinkTime{2});
        {
            TComm last(sim, clock, records);
            rvz::RegisterRecord record{};
            rvz::Connect(last, true);
            rvz::ReadConfig(last, record);
        }
        // What a program killed as it sent a command leaves.
        if (killed)
            records.Open("bench-adapter").note->Write(clock.Now() + rvz::LinkTime{rvz::kAdapterTimeoutMs} +
                                                      rvz::kLateReplyLimit + rvz::kNoteAhead);
        const rvz::LinkTime start = clock.Now();
        TComm comm(sim, clock, records);
        rvz::RegisterRecord record{};
        benchmark::DoNotOptimize(rvz::Connect(comm, true).stage == rvz::LinkStage::ServoAnswers &&
                                 rvz::ReadConfig(comm, record));
        startMs = static_cast<double>((clock.Now() - start).count());
    }
    std::filesystem::remove_all(folder);
    state.counters["start_ms"] = startMs;
}
BENCHMARK(BM_StartAfterTheLastProgram)->Arg(0)->Arg(1);

// Write Config as the window sends it, over an adapter whose replies take
// their line time: 0, the write alone; 1, the write and the read back the
// window now reports on.
void BM_WindowWrite(benchmark::State& state)
{
    SimulatedAdapter sim;
    sim.UseClock(rvz::SteadyLinkClock());
    TComm comm(sim);
    rvz::Connect(comm, false);
    const auto record = SimulatedAdapter::kFactoryRegisters;
    for (auto _ : state)
        benchmark::DoNotOptimize(state.range(0) ? rvz::SendAndConfirm(comm, record, false).ok
                                                : rvz::WriteConfig(comm, record).ok);
}
BENCHMARK(BM_WindowWrite)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
