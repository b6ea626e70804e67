// SPDX-License-Identifier: GPL-3.0-or-later
// A workshop bench: N servos (1, 2, 4, 8) programmed and verified through N
// adapters, as `batch --parallel --verify` does, against the same N one
// after another (`--adapter K write --verify` on each). The adapters are
// simulated, with replies that take their line time and a servo that
// answers 2 ms after a command, so the time is the line's, as on a bench.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "Cli.h"
#include "SimulatedAdapter.h"
#include "SimulatedBench.h"

namespace {

using namespace rvz;

constexpr LinkTime kServoAnswersAfter{2};

// One adapter of the bench, on a lane of its own.
class BenchLane final : public cli::AdapterLane {
public:
    explicit BenchLane(SimulatedAdapter& adapter, std::string port) : m_bridge(adapter, std::move(port)) {}
    UsbBridge& Bridge() override { return m_bridge; }
    void Pause(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }

private:
    test::BenchSlotBridge m_bridge;
};

class BenchServices final : public cli::CliServices {
public:
    explicit BenchServices(std::size_t count) : bench(count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            bench.At(i).UseClock(SteadyLinkClock());
            bench.At(i).SetReplyDelay(kServoAnswersAfter);
            bench.At(i).KeepCommands(false);
        }
    }
    test::SimulatedBench bench;
    std::filesystem::path history = std::filesystem::temp_directory_path() / "rvz-batch-bench-history.jsonl";

    UsbBridge& Bridge(bool) override { return bench; }
    UsbHost* Usb(bool) override { return nullptr; }
    std::unique_ptr<cli::AdapterLane> Lane(bool, const AdapterName& adapter) override
    {
        return std::make_unique<BenchLane>(bench.At(adapter.index), adapter.port);
    }
    void Pause(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
    int StopSignal() override { return 0; }
    std::string Now() override { return "2026-12-10T10:00:00Z"; }
    std::filesystem::path HistoryFile(bool) override { return history; }
};

int Run(BenchServices& services, const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    return cli::RunCli(arguments, services, out, err);
}

// Times programming N servos on a fresh bench of N adapters each round.
template <typename Program>
void TimeBench(benchmark::State& state, Program&& program)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        BenchServices services(count);
        std::filesystem::remove(services.history);
        state.ResumeTiming();
        if (!program(services, count))
            state.SkipWithError("a servo was not programmed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ParallelBatch(benchmark::State& state)
{
    TimeBench(state, [](BenchServices& services, std::size_t count) {
        return Run(services, {"batch", "--parallel", "--verify", "--set", "upper=2000", "--count",
                              std::to_string(count)}) == 0;
    });
}
BENCHMARK(BM_ParallelBatch)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_OneAfterAnother(benchmark::State& state)
{
    TimeBench(state, [](BenchServices& services, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            if (Run(services, {"--adapter", std::to_string(i), "write", "--verify", "--set", "upper=2000"}) != 0)
                return false;
        return true;
    });
}
BENCHMARK(BM_OneAfterAnother)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
