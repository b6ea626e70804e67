// SPDX-License-Identifier: GPL-3.0-or-later
// Several adapters at once: each named by its port, chosen with --adapter,
// named in the history; and batch --parallel as a property over random
// benches, in virtual time: random faults on each adapter, random swaps,
// a signal at a random command. Every servo holds its old or its asked
// values, the log and the history say which, and no adapter's fault shows
// up in another's lines. The seed is printed; RVZ_BENCH_PROPERTY_SEED
// replays a run and RVZ_BENCH_PROPERTY_RUNS makes it longer.
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "CliFixture.h"
#include "History.h"
#include "RecordInput.h"
#include "RecordJson.h"
#include "ServoValues.h"
#include "ServoOperations.h"

namespace rvz::cli {
namespace {

using Registers = SimulatedAdapter::Registers;

class CliBenchTest : public test::CliFixture {
public:
    void UseAdapters(std::size_t count) { services.bench = std::make_unique<rvz::test::SimulatedBench>(count); }
    SimulatedAdapter& Slot(std::size_t slot) { return services.bench->At(slot); }
    std::vector<HistoryEntry> History()
    {
        std::vector<HistoryEntry> entries;
        int skipped = 0;
        EXPECT_FALSE(ReadHistory(services.history, entries, skipped));
        return entries;
    }
};

TEST_F(CliBenchTest, EachAdapterIsNamedChosenAndOnRecord)
{
    UseAdapters(3);
    ASSERT_EQ(Run({"detect", "--json"}), kExitOk) << err.str();
    const nlohmann::json found = nlohmann::json::parse(out.str());
    ASSERT_EQ(found["adapters"].size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(found["adapters"][i]["index"], i);
        EXPECT_EQ(found["adapters"][i]["port"], "1-" + std::to_string(i + 1));
        EXPECT_EQ(found["adapters"][i]["servo"], true);
    }
    EXPECT_EQ(found["servo"], true);  // the first adapter's keys, as before
    Slot(2).SetServoSilent(true);
    EXPECT_EQ(Run({"detect"}), kExitNoServo);
    EXPECT_NE(out.str().find("adapter 1 (1-2):\n  servo adapter: identification"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("adapter 2 (1-3):\n  servo adapter: identification 41 42"), std::string::npos);
    Slot(2).SetServoSilent(false);

    // Only the adapter chosen is written, and the history names it.
    ASSERT_EQ(Run({"--adapter", "1-2", "write", "--set", "neutral=1520"}), kExitOk) << err.str();
    EXPECT_NE(Slot(1).ServoRegisters(), SimulatedAdapter::kFactoryRegisters);
    EXPECT_EQ(Slot(0).ServoRegisters(), SimulatedAdapter::kFactoryRegisters);
    EXPECT_EQ(Slot(2).ServoRegisters(), SimulatedAdapter::kFactoryRegisters);
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].adapter, "1-2");
    // A number names the same adapter; without a choice, the first, and the user is told.
    ASSERT_EQ(Run({"read", "--adapter", "1", "--json"}), kExitOk);
    EXPECT_NE(out.str().find("\"neutral\":1520"), std::string::npos) << out.str();
    ASSERT_EQ(Run({"read", "--json"}), kExitOk);
    EXPECT_NE(out.str().find("\"neutral\":1500"), std::string::npos);
    EXPECT_NE(err.str().find("using adapter 1-1 of 3 attached"), std::string::npos) << err.str();

    // history and undo keep to the adapter's writes; undo goes where the write went.
    ASSERT_EQ(Run({"history", "--adapter", "1-1"}), kExitOk);
    EXPECT_NE(out.str().find("no writes yet"), std::string::npos) << out.str();
    ASSERT_EQ(Run({"history"}), kExitOk);
    EXPECT_NE(out.str().find("[adapter 1-2]"), std::string::npos) << out.str();
    ASSERT_EQ(Run({"undo"}), kExitOk) << err.str();
    EXPECT_EQ(Slot(1).ServoRegisters(), SimulatedAdapter::kFactoryRegisters);
    EXPECT_EQ(History().back().adapter, "1-2");

    // A write cut short says how to put the servo back on its own adapter, not the first.
    Slot(2).UnplugAtCommand(14);
    EXPECT_EQ(Run({"--adapter", "2", "write", "--set", "upper=2100"}), kExitFailed);
    EXPECT_NE(err.str().find("| rivivev-uvezi-cli --adapter 1-3 write --json -"), std::string::npos) << err.str();
    Slot(2).Plug();
    // With the trace, the adapter is named by its port as well.
    ASSERT_EQ(Run({"--trace", File("trace.txt"), "--adapter", "1-3", "write", "--set", "upper=1900"}), kExitOk)
        << err.str();
    ASSERT_EQ(Run({"--trace", File("trace.txt"), "--adapter", "2", "write", "--set", "upper=2000"}), kExitOk);
    EXPECT_EQ(History().back().adapter, "1-3");

    Slot(2).Unplug();
    ASSERT_EQ(Run({"history", "--adapter", "2"}), kExitOk);
    EXPECT_NE(err.str().find("no adapter is attached as 2, so its port path is not known"), std::string::npos);
    Slot(2).Plug();

    EXPECT_EQ(Run({"--adapter", "1-9", "read"}), kExitNoAdapter);
    EXPECT_NE(err.str().find("no adapter is attached as \"1-9\"; attached: 0 (1-1), 1 (1-2), 2 (1-3)"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(Run({"--adapter", "usb1", "read"}), kExitBadArguments);
    EXPECT_NE(err.str().find("names no adapter"), std::string::npos) << err.str();
    EXPECT_EQ(Run({"batch", "--parallel", "--adapter", "1-1", "--set", "upper=2000"}), kExitBadArguments);
}

std::uint64_t FromEnvironment(const char* name, std::uint64_t otherwise)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 0) : otherwise;
}

// One adapter of a random bench: its faults, and every servo it held.
struct BenchAdapter {
    bool faulty = false;
    std::vector<Registers> servosBefore;  // as each servo came
    std::vector<Registers> servosAfter;   // as each went, or is at the end
};

class BenchProperty : public CliBenchTest {
public:
    // One random batch --parallel; empty, or which promise it broke.
    std::string Trial(std::mt19937_64& random)
    {
        const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
        const std::size_t count = static_cast<std::size_t>(between(1, 4));
        UseAdapters(count);
        std::filesystem::remove(services.history);
        const std::string log = File("bench.jsonl");
        std::filesystem::remove(log);
        services.signal = 0;
        services.lanePauses = 0;
        m_adapters.assign(count, {});
        const int servos = between(1, 8);
        m_servos = servos;
        // A signal as a random adapter's servo gets a random command.
        const int signalSlot = between(0, 3) == 0 ? between(0, static_cast<int>(count) - 1) : -1;
        const std::size_t signalAt = static_cast<std::size_t>(between(1, 60));
        for (std::size_t slot = 0; slot < count; ++slot) {
            BenchAdapter& adapter = m_adapters[slot];
            SimulatedAdapter& sim = Slot(slot);
            sim.KeepCommands(false);
            adapter.faulty = between(0, 2) == 0;
            if (adapter.faulty) {
                switch (between(0, 4)) {
                case 0: sim.SetReplyDelay(LinkTime{between(60, 400)}); break;
                case 1: sim.LoseReplies(between(1, 4)); break;
                case 2: sim.KeepOldValueOf(between(7, 10)); break;
                case 3: sim.UnplugAtCommand(between(1, 40)); break;
                default: sim.CutReplies(between(1, 3)); break;
                }
            }
            adapter.servosBefore.push_back(sim.ServoRegisters());
        }
        // The bench hand of each adapter: a programmed servo goes with its adapter, a fresh one comes.
        services.prepareLane = [&, signalSlot, signalAt](std::size_t slot, test::TestLane& lane) {
            if (static_cast<int>(slot) == signalSlot)
                lane.bridge.afterWrite = [&, made = &lane] {
                    if (made->adapter.CommandCount() >= signalAt)
                        services.signal = 2;
                };
        };
        services.onLanePause = [&](std::size_t slot, test::TestLane& lane) {
            BenchAdapter& adapter = m_adapters[slot];
            if (lane.programmed > static_cast<int>(adapter.servosAfter.size()) && lane.adapter.IsPluggedIn()) {
                adapter.servosAfter.push_back(lane.adapter.ServoRegisters());
                lane.adapter.Unplug();
            } else if (!lane.adapter.IsPluggedIn() && lane.programmed == static_cast<int>(adapter.servosAfter.size())) {
                lane.adapter.ReplaceServo();
                adapter.servosBefore.push_back(lane.adapter.ServoRegisters());
                lane.adapter.Plug();
            }
        };
        const std::string upper = std::to_string(between(1900, 2100));
        const std::string lower = std::to_string(between(900, 1100));
        m_described = "batch --parallel on " + std::to_string(count) + " adapters, " + std::to_string(servos) +
                      " servos, upper=" + upper + " lower=" + lower;
        const int code = Run({"batch", "--parallel", "--verify", "--set", "upper=" + upper, "--set", "lower=" + lower,
                              "--count", std::to_string(servos), "--log", log});
        for (std::size_t slot = 0; slot < count; ++slot) {
            BenchAdapter& adapter = m_adapters[slot];
            m_described += "\n  1-" + std::to_string(slot + 1) + (adapter.faulty ? " (faulty)" : "");
            if (adapter.servosAfter.size() < adapter.servosBefore.size())
                adapter.servosAfter.push_back(Slot(slot).ServoRegisters());
        }
        m_described += "\n-> " + std::to_string(code) + "\n" + out.str() + err.str();
        return Judge(code, log, upper, lower);
    }

    const std::string& Described() const { return m_described; }

private:
    std::string Judge(int code, const std::string& logFile, const std::string& upper, const std::string& lower)
    {
        // What the asked values put in the registers, from a servo that took them.
        TServoConfig factory;
        factory.Bytes = SimulatedAdapter::kFactoryRegisters;
        std::vector<GivenValue> given;
        ParseSettings({"upper=" + upper, "lower=" + lower}, given);
        std::vector<std::string> problems;
        const TServoConfig asked = RecordWithValues(factory, given, false, problems);
        // A signal came: the one drawn, or the stand-in Ctrl+C for a batch that would not end.
        const bool signalled = code == ExitCodeOfSignal(2);
        std::map<std::string, int> lines;  // by adapter
        std::set<int> numbers;
        std::ifstream log(logFile);
        for (std::string text; std::getline(log, text);) {
            const nlohmann::json line = nlohmann::json::parse(text, nullptr, false);
            if (line.is_discarded() || !line.contains("adapter") || !line.contains("servo"))
                return "a log line names no adapter or servo: " + text;
            const std::string adapter = line["adapter"];
            const std::size_t slot = std::stoul(adapter.substr(2)) - 1;
            if (slot >= m_adapters.size())
                return "a log line names an adapter that is not on the bench: " + text;
            if (!numbers.insert(line["servo"].get<int>()).second)
                return "two servos have the same number: " + text;
            ++lines[adapter];
            const std::string result = line.value("result", "");
            // A signal lets a servo being written finish, unverified, and stops one not yet begun.
            const bool stopped = signalled && (result == "written" || (result == "failed" &&
                                                                      line.value("error", "").starts_with("stopped by")));
            if (!m_adapters[slot].faulty && result != "written and verified" && !stopped)
                return "an adapter without faults reports one: " + text;
            if (result == "written and verified" && line["registers"] != RecordJson(asked, false)["registers"])
                return "the log says written, with other values: " + text;
            const std::string shown = "adapter " + adapter + ": servo " + line["servo"].dump() + ": ";
            if (out.str().find(shown) == std::string::npos)
                return "a logged servo is not on standard output: " + shown;
        }
        // Servos are numbered 1, 2, ... as they come, never beyond --count.
        if (!numbers.empty() && (*numbers.begin() < 1 || *numbers.rbegin() > m_servos))
            return "a servo numbered beyond the count";
        if (services.signal != 0 && code != ExitCodeOfSignal(2))
            return "a signal came, and the batch did not end with its code";
        if (services.signal == 0 && code == kExitOk && static_cast<int>(numbers.size()) == 0)
            return "the batch ended well without a servo";
        // Every servo holds, register by register, what it held or what was asked; one
        // that changed is in the history under its adapter.
        const std::vector<HistoryEntry> history = History();
        for (std::size_t slot = 0; slot < m_adapters.size(); ++slot) {
            const BenchAdapter& adapter = m_adapters[slot];
            for (std::size_t i = 0; i < adapter.servosAfter.size(); ++i) {
                const Registers& before = adapter.servosBefore[i];
                const Registers& after = adapter.servosAfter[i];
                bool changed = false;
                for (std::size_t reg = 0; reg < after.size(); ++reg) {
                    const bool isConfig = std::find(kConfigRegisters.begin(), kConfigRegisters.end(), reg) !=
                                          kConfigRegisters.end();
                    if (after[reg] == before[reg])
                        continue;
                    if (!isConfig || after[reg] != asked.Bytes[reg])
                        return "a servo on 1-" + std::to_string(slot + 1) + " holds a value nobody asked for";
                    changed = true;
                }
                const std::string port = rvz::test::SimulatedBench::Port(slot);
                if (changed && std::none_of(history.begin(), history.end(),
                                            [&](const HistoryEntry& entry) { return entry.adapter == port; }))
                    return "a servo on " + port + " changed, and the history has no write through it";
                // A servo the log says was written and verified holds what was asked.
            }
        }
        for (const HistoryEntry& entry : history)
            if (entry.adapter.size() < 3 || std::stoul(entry.adapter.substr(2)) > m_adapters.size())
                return "the history names an adapter not on the bench: " + entry.adapter;
        return {};
    }

    std::vector<BenchAdapter> m_adapters;
    int m_servos = 0;
    std::string m_described;
};

TEST_F(BenchProperty, EveryServoHoldsItsOldOrItsAskedValuesAndFaultsStayOnTheirAdapter)
{
    const std::uint64_t seed = FromEnvironment("RVZ_BENCH_PROPERTY_SEED", std::random_device{}());
    const std::uint64_t runs = FromEnvironment("RVZ_BENCH_PROPERTY_RUNS", 1000);
    std::printf("bench property seed %llu (RVZ_BENCH_PROPERTY_SEED replays it)\n",
                static_cast<unsigned long long>(seed));
    std::mt19937_64 random(seed);
    for (std::uint64_t run = 0; run < runs; ++run) {
        const std::string broken = Trial(random);
        ASSERT_TRUE(broken.empty()) << "seed " << seed << ", run " << run << ": " << broken << "\n" << Described();
    }
}

}  // namespace
}  // namespace rvz::cli
