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

// The adapters at ports 1-1 to 1-N, as the commands see them.
class Bench final : public UsbBridge {
public:
    explicit Bench(std::size_t count) : m_adapters(count)
    {
        for (SimulatedAdapter& adapter : m_adapters) {
            adapter.UseClock(SteadyLinkClock());
            adapter.SetReplyDelay(kServoAnswersAfter);
            adapter.KeepCommands(false);
        }
    }
    SimulatedAdapter& At(std::size_t i) { return m_adapters[i]; }
    std::size_t Size() const { return m_adapters.size(); }

    BridgeStatus GetNumDevices(std::uint32_t* count) override
    {
        *count = static_cast<std::uint32_t>(m_adapters.size());
        return kBridgeSuccess;
    }
    std::vector<AdapterName> ListAdapters() override
    {
        std::vector<AdapterName> names;
        for (std::uint32_t i = 0; i < m_adapters.size(); ++i)
            names.push_back({i, "1-" + std::to_string(i + 1)});
        return names;
    }
    BridgeStatus Open(std::uint32_t index, BridgeHandle* handle) override
    {
        m_open = index;
        return m_adapters[index].Open(0, handle);
    }
    BridgeStatus Close(BridgeHandle handle) override { return m_adapters[m_open].Close(handle); }
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> to, std::uint32_t* received) override
    {
        return m_adapters[m_open].Read(handle, to, received);
    }
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> from, std::uint32_t* written) override
    {
        return m_adapters[m_open].Write(handle, from, written);
    }
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t transmit, std::uint8_t receive) override
    {
        return m_adapters[m_open].FlushBuffers(handle, transmit, receive);
    }
    BridgeStatus SetTimeouts(std::uint32_t read, std::uint32_t write) override
    {
        for (SimulatedAdapter& adapter : m_adapters)
            adapter.SetTimeouts(read, write);
        return kBridgeSuccess;
    }

private:
    std::vector<SimulatedAdapter> m_adapters;
    std::uint32_t m_open = 0;  // one session at a time: the commands run one after another
};

class BenchServices final : public cli::CliServices {
public:
    explicit BenchServices(std::size_t count) : bench(count) {}
    Bench bench;
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
