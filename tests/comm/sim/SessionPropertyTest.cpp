// SPDX-License-Identifier: GPL-3.0-or-later
// The session's promise as a property over random use, in virtual time:
// whatever the replies' delays, losses, cuts, silences, unplugs, Ctrl+C and
// the program's restarts around it, an operation fails or carries exactly
// what the servo holds (read), leaves exactly what it sent (write, block,
// write and read back), and a real adapter is never called a wrong one.
//
// The seed is printed; RVZ_PROPERTY_SEED=N replays a run, and
// RVZ_PROPERTY_OPERATIONS=N makes it longer (a soak).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "LateReplySweep.h"

namespace rvz {
namespace {

using test::ServoOperation;
using Registers = SimulatedAdapter::Registers;

std::uint64_t FromEnvironment(const char* name, std::uint64_t otherwise)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 0) : otherwise;
}

// What happens around one operation. Command numbers count from the
// operation's first command; 0 means never.
struct Faults {
    LinkTime pause{0};  // the user's pause before the operation
    LinkTime delay{0};
    LinkTime jitter{0};
    bool silent = false;
    bool identifyAtOnce = false;  // the adapter's own answer, ahead of the servo's
    bool flushLeavesBytes = false;
    int dropped = 0;  // commands lost on the way to the servo
    int lost = 0;     // replies lost on the way back
    int cut = 0;      // replies without their last byte
    int unplugAt = 0;
    int interruptAt = 0;  // Ctrl+C just before this command
    bool restart = false;  // the program ends and starts again first

    std::string Describe() const
    {
        std::ostringstream text;
        text << "pause " << pause.count() << " ms, delay " << delay.count() << "+" << jitter.count() << " ms"
             << (silent ? ", silent" : "") << (identifyAtOnce ? ", identification at once" : "") << (flushLeavesBytes ? ", flush leaves bytes" : "") << ", dropped " << dropped << ", lost " << lost << ", cut " << cut
             << ", unplug at " << unplugAt << ", interrupt at " << interruptAt << (restart ? ", restart" : "");
        return text.str();
    }
};

class RandomUse {
public:
    explicit RandomUse(std::uint64_t seed) : m_random(seed)
    {
        m_sim.UseClock(m_clock);
        m_sim.KeepCommands(false);
        m_sim.SetServoRegisters(test::kDistinctRegisters);
        StartProgram();
    }

    // One operation with its faults; empty, or what went wrong.
    std::string Step()
    {
        const Faults faults = DrawFaults();
        const ServoOperation operation = Draw(kOperations);
        m_lastDescription = faults.Describe() + "; operation " + std::to_string(static_cast<int>(operation));
        if (faults.restart)
            StartProgram();
        m_clock.SleepFor(faults.pause);
        Apply(faults);

        if (!Connected())
            return m_wrong;
        const auto judgement = test::RunAndJudge(
            operation, *m_comm, [this] { return m_sim.ServoRegisters(); }, m_sim.AdapterIdentification(), DrawTarget());
        ++m_operations;
        m_succeeded += judgement.succeeded ? 1 : 0;
        if (operation == ServoOperation::Identify && judgement.succeeded && m_comm->AdapterHandle() == kNullHandle)
            return "the adapter was rejected after it identified itself";
        // A program that was interrupted ends; the next one starts afresh.
        if (m_comm->LastFailure() == LinkFailure::Interrupted)
            StartProgram();
        return judgement.wrong;
    }

    const std::string& LastDescription() const { return m_lastDescription; }
    long Operations() const { return m_operations; }
    long Succeeded() const { return m_succeeded; }

private:
    static constexpr ServoOperation kOperations[] = {
        ServoOperation::ReadConfig,  ServoOperation::ReadConfig, ServoOperation::WriteConfig,
        ServoOperation::WriteConfig, ServoOperation::Initialize, ServoOperation::Identify};

    template <typename T, std::size_t N>
    T Draw(const T (&choices)[N])
    {
        return choices[std::uniform_int_distribution<std::size_t>(0, N - 1)(m_random)];
    }
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(m_random); }

    Faults DrawFaults()
    {
        Faults faults;
        // Now and then the user comes back only after the replies owed ran out of time.
        faults.pause = LinkTime{Chance(0.5) ? 0 : Chance(0.9) ? Between(0, 400) : Between(1500, 5000)};
        // Most replies in time; many just past the old fixed quiet period;
        // some up to a second late.
        const int band = Between(0, 99);
        faults.delay = LinkTime{band < 40 ? Between(0, 45) : band < 60 ? Between(45, 300)
                                          : band < 85 ? Between(300, 600) : Between(600, 1000)};
        faults.jitter = LinkTime{Chance(0.3) ? Between(0, 250) : 0};
        faults.silent = Chance(0.04);
        faults.identifyAtOnce = Chance(0.7);
        faults.flushLeavesBytes = Chance(0.3);
        faults.dropped = Chance(0.05) ? Between(1, 2) : 0;
        faults.lost = Chance(0.05) ? Between(1, 2) : 0;
        faults.cut = Chance(0.05) ? 1 : 0;
        faults.unplugAt = Chance(0.02) ? Between(1, 30) : 0;
        faults.interruptAt = Chance(0.03) ? Between(1, 30) : 0;
        faults.restart = Chance(0.04);
        return faults;
    }

    // Registers as a write or block sends them: bank 0, anything else.
    Registers DrawTarget()
    {
        Registers target{};
        for (std::size_t i = 1; i < target.size(); ++i)
            target[i] = static_cast<std::uint8_t>(Between(0, 255));
        return target;
    }

    void Apply(const Faults& faults)
    {
        m_sim.SetReplyDelay(faults.delay, faults.jitter);
        m_sim.SetServoSilent(faults.silent);
        m_sim.SetIdentificationAtOnce(faults.identifyAtOnce);
        m_sim.SetFlushLeavesBytes(faults.flushLeavesBytes);
        m_sim.DropReplies(faults.dropped);
        m_sim.LoseReplies(faults.lost);
        m_sim.CutReplies(faults.cut);
        m_sim.UnplugAtCommand(faults.unplugAt);
        const std::size_t first = m_sim.CommandCount();
        const int interruptAt = faults.interruptAt;
        m_comm->SetInterruption([this, first, interruptAt] {
            return interruptAt > 0 && m_sim.CommandCount() + 1 >= first + static_cast<std::size_t>(interruptAt);
        });
    }

    // The program ends (its session closes as it would at exit) and starts
    // again, at once, on the same adapter and servo.
    void StartProgram()
    {
        m_comm.reset();
        m_comm = std::make_unique<TComm>(m_sim, m_clock);
    }

    // Opens and identifies as the poll does; false when there is no session
    // to run the operation in, or a real adapter was called a wrong one.
    bool Connected()
    {
        if (!m_sim.IsPluggedIn())
            m_sim.Plug();  // whoever pulled it out plugs it back in
        const bool wasOpen = m_comm->AdapterHandle() != kNullHandle;
        if (!m_comm->OpenAdapter()) {
            if (m_comm->LastFailure() == LinkFailure::NotOurs) {
                // The user unplugs what the tool rejected, and the poll sees it gone.
                m_sim.Unplug();
                m_comm->OpenAdapter();
            }
            return false;
        }
        if (wasOpen)
            return true;
        IdentificationBytes identification{};
        const AdapterIdentity identity = IdentifyAdapter(*m_comm, identification);
        if (identity == AdapterIdentity::OtherKind)
            m_wrong = "a real adapter was called a wrong one: " + test::HexText(identification);
        return identity == AdapterIdentity::Ours;
    }

    std::mt19937_64 m_random;
    ManualLinkClock m_clock;
    SimulatedAdapter m_sim;
    std::unique_ptr<TComm> m_comm;
    std::string m_wrong;
    std::string m_lastDescription;
    long m_operations = 0;
    long m_succeeded = 0;
};

TEST(SessionPropertyTest, NoSuccessWithValuesTheServoDoesNotHold)
{
    const std::uint64_t seed = FromEnvironment("RVZ_PROPERTY_SEED", 20261209);
    const auto operations = static_cast<long>(FromEnvironment("RVZ_PROPERTY_OPERATIONS", 100000));
    std::printf("seed %llu, %ld operations (RVZ_PROPERTY_SEED and RVZ_PROPERTY_OPERATIONS change them)\n",
                static_cast<unsigned long long>(seed), operations);
    RandomUse use(seed);
    for (long step = 0; use.Operations() < operations; ++step) {
        const std::string wrong = use.Step();
        ASSERT_EQ(wrong, "") << "step " << step << " of seed " << seed << ": " << use.LastDescription();
    }
    std::printf("%ld operations ran, %ld succeeded\n", use.Operations(), use.Succeeded());
    // A run in which nothing succeeds proves nothing.
    EXPECT_GT(use.Succeeded(), use.Operations() / 4);
}

}  // namespace
}  // namespace rvz
