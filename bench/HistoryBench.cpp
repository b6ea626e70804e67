// SPDX-License-Identifier: GPL-3.0-or-later
// What the history costs against its size (1 kB, 1 MiB, 100 MB): the
// newest entry, as `history --count 1` reads it; the chain of writes a
// write or init reads to know the servo; the whole file, as it was read
// before it was read from its end; and one write's two lines.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "History.h"
#include "ServoValues.h"

namespace {

using namespace rvz;
using namespace rvz::cli;

HistoryEntry Entry(int i)
{
    HistoryEntry entry;
    entry.time = "2026-12-10T10:00:00Z";
    entry.command = "write";
    entry.arguments = {"write", "--set", "upper=" + std::to_string(2000 + i % 100)};
    entry.before = ReadFromServo(TServoConfig{});
    entry.written = entry.before;
    entry.after = entry.before;
    entry.result = "written";
    return entry;
}

// A history of about size bytes, made once a run.
std::filesystem::path HistoryOf(std::int64_t size)
{
    static std::map<std::int64_t, std::filesystem::path> made;
    auto& file = made[size];
    if (!file.empty())
        return file;
    file = std::filesystem::temp_directory_path() / ("rvz-history-bench-" + std::to_string(size) + ".jsonl");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::int64_t written = 0;
    for (int i = 0; written < size; ++i) {
        const std::string line = EntryJson(Entry(i)).dump() + "\n";
        out << line;
        written += static_cast<std::int64_t>(line.size());
    }
    return file;
}

void BM_NewestEntry(benchmark::State& state)
{
    const auto file = HistoryOf(state.range(0));
    for (auto _ : state) {
        std::vector<HistoryEntry> entries;
        int skipped = 0;
        benchmark::DoNotOptimize(ReadHistory(file, entries, skipped, 1));
    }
}
BENCHMARK(BM_NewestEntry)->Arg(1000)->Arg(1 << 20)->Arg(100'000'000)->Unit(benchmark::kMicrosecond);

// Every write in the file left what the next found, so the chain runs to its start.
void BM_ChainAWriteReads(benchmark::State& state)
{
    const auto file = HistoryOf(state.range(0));
    for (auto _ : state) {
        HistoryReader history(file);
        history.Open();
        benchmark::DoNotOptimize(KnownBefore(history, TServoConfig{}));
    }
}
BENCHMARK(BM_ChainAWriteReads)->Arg(1000)->Arg(1 << 20)->Arg(100'000'000)->Unit(benchmark::kMicrosecond);

void BM_WholeHistory(benchmark::State& state)
{
    const auto file = HistoryOf(state.range(0));
    for (auto _ : state) {
        std::vector<HistoryEntry> entries;
        int skipped = 0;
        benchmark::DoNotOptimize(ReadHistory(file, entries, skipped));
    }
}
BENCHMARK(BM_WholeHistory)->Arg(1000)->Arg(1 << 20)->Arg(100'000'000)->Unit(benchmark::kMillisecond);

// The line written ahead and its outcome, on a copy that is not trimmed.
void BM_WriteAheadAndOutcome(benchmark::State& state)
{
    const auto file = std::filesystem::temp_directory_path() / "rvz-history-bench-append.jsonl";
    std::filesystem::copy_file(HistoryOf(state.range(0)), file, std::filesystem::copy_options::overwrite_existing);
    HistoryEntry entry = Entry(0);
    entry.id = NewEntryId();
    for (auto _ : state) {
        benchmark::DoNotOptimize(AppendHistory(file, entry, UINTMAX_MAX));
        benchmark::DoNotOptimize(AppendOutcome(file, entry, UINTMAX_MAX));
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_WriteAheadAndOutcome)->Arg(1000)->Arg(1 << 20)->Arg(100'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
