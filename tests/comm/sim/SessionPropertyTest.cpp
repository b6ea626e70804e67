// SPDX-License-Identifier: GPL-3.0-or-later
// The session's promise as a property over random use, in virtual time:
// whatever the replies' delays, losses, cuts, silences, unplugs, Ctrl+C,
// the program's restarts and programs killed outright around it, an
// operation fails or carries exactly what the servo holds (read), leaves
// exactly what it sent (write, block, write and read back), and a real
// adapter is never called a wrong one. The servo's replies travel a serial
// line at a drawn rate; the next program after one that was killed starts
// up to two seconds later, as the window's poll or the command line.
//
// The seed is printed; RVZ_PROPERTY_SEED=N replays a run, and
// RVZ_PROPERTY_OPERATIONS=N makes it longer (a soak).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "LateReplySweep.h"
#include "TempDir.h"
#include "ServoOperations.h"

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
    int lateAt = 0;   // this command's reply comes lateBy later than the rest
    LinkTime lateBy{0};
    bool foreign = false;  // what is plugged in after an unplug is another kind of device
    int unplugAt = 0;
    int interruptAt = 0;  // Ctrl+C just before this command
    bool restart = false;  // the program ends and starts again first
    int lineRate = SimulatedAdapter::kDefaultLineRate;
    LinkTime killAt{-1};   // the program is killed this long into the operation,
    int killAfterWrite = 0;  // or as this command of it has gone out
    LinkTime nextStart{0};  // and the next one starts this much later

    std::string Describe() const
    {
        std::ostringstream text;
        text << "pause " << pause.count() << " ms, delay " << delay.count() << "+" << jitter.count() << " ms"
             << (silent ? ", silent" : "") << (identifyAtOnce ? ", identification at once" : "") << (flushLeavesBytes ? ", flush leaves bytes" : "") << ", dropped " << dropped << ", lost " << lost << ", cut " << cut
             << ", unplug at " << unplugAt << ", interrupt at " << interruptAt << (restart ? ", restart" : "")
             << ", line " << lineRate << " bit/s";
        if (lateAt > 0)
            text << ", reply " << lateAt << " " << lateBy.count() << " ms later";
        if (foreign)
            text << ", another kind of device in its place";
        if (killAt.count() >= 0)
            text << ", killed " << killAt.count() << " ms in, the next program " << nextStart.count() << " ms later";
        if (killAfterWrite > 0)
            text << ", killed as command " << killAfterWrite << " went out, the next program " << nextStart.count()
                 << " ms later";
        return text.str();
    }
};

// One program's life on the machine. Its bridge calls, its sleeps and its
// session notes go through until the moment it is killed, and nothing of
// it after: the system closes its handle, as it does for a process that
// ends, and replies on their way still come to whoever opens the adapter
// next.
class Program final : public UsbBridge, public LinkClock, public SessionRecords {
public:
    Program(SimulatedAdapter& sim, ManualLinkClock& clock, SessionRecords& records)
        : m_sim(sim), m_clock(clock), m_records(records)
    {
    }

    void KillAt(LinkTime moment) { m_killAt = moment; }
    // Killed just as its count-th write from now has gone out.
    void KillAfterWrites(int count) { m_writesToKill = count; }
    bool Killed()
    {
        if (!m_killed && m_clock.Now() >= m_killAt) {
            m_killed = true;
            if (m_handle != kNullHandle)
                m_sim.Close(m_handle);
        }
        return m_killed;
    }

    LinkTime Now() override { return m_clock.Now(); }
    void SleepFor(LinkTime duration) override
    {
        if (!Killed())
            m_clock.SleepFor(std::min(duration, m_killAt - m_clock.Now()));
    }

    BridgeStatus GetNumDevices(std::uint32_t* count) override { return Killed() ? kDead : m_sim.GetNumDevices(count); }
    BridgeStatus Open(std::uint32_t index, BridgeHandle* handle) override
    {
        if (Killed())
            return kDead;
        const BridgeStatus status = m_sim.Open(index, handle);
        if (status == kBridgeSuccess)
            m_handle = *handle;
        return status;
    }
    BridgeStatus Close(BridgeHandle handle) override
    {
        m_handle = kNullHandle;
        return Killed() ? kDead : m_sim.Close(handle);
    }
    // A call that the kill cut short did its work on the adapter (the bytes
    // read are gone), but the program never saw its result.
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received) override
    {
        return Through([&] { return m_sim.Read(handle, destination, received); });
    }
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written) override
    {
        return Through([&] {
            const BridgeStatus status = m_sim.Write(handle, source, written);
            if (m_writesToKill > 0 && --m_writesToKill == 0)
                m_killAt = m_clock.Now();
            return status;
        });
    }
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t transmit, std::uint8_t receive) override
    {
        return Through([&] { return m_sim.FlushBuffers(handle, transmit, receive); });
    }
    BridgeStatus SetTimeouts(std::uint32_t read, std::uint32_t write) override
    {
        return Through([&] { return m_sim.SetTimeouts(read, write); });
    }
    std::string SessionKey(BridgeHandle handle) const override { return m_sim.SessionKey(handle); }

    Opened Open(const std::string& key) override
    {
        Opened opened = m_records.Open(key);
        if (opened.note)
            opened.note = std::make_unique<Note>(*this, std::move(opened.note));
        return opened;
    }

private:
    class Note final : public SessionNote {
    public:
        Note(Program& program, std::unique_ptr<SessionNote> note) : m_program(program), m_note(std::move(note)) {}
        void Write(std::optional<LinkTime> owedUntil) override
        {
            if (!m_program.Killed())
                m_note->Write(owedUntil);
        }

    private:
        Program& m_program;
        std::unique_ptr<SessionNote> m_note;
    };

    static constexpr BridgeStatus kDead = bridge_status::kInvalidHandle;
    template <typename Call>
    BridgeStatus Through(Call&& call)
    {
        if (Killed())
            return kDead;
        const BridgeStatus status = call();
        return Killed() ? kDead : status;
    }

    SimulatedAdapter& m_sim;
    ManualLinkClock& m_clock;
    SessionRecords& m_records;
    LinkTime m_killAt = LinkTime::max();
    int m_writesToKill = 0;
    bool m_killed = false;
    BridgeHandle m_handle = kNullHandle;
};

class RandomUse {
public:
    RandomUse(std::uint64_t seed, const std::filesystem::path& notes) : m_random(seed), m_records(notes)
    {
        m_sim.UseClock(m_clock);
        m_sim.SetSessionKey("simulated-adapter");
        m_sim.KeepCommands(false);
        m_sim.SetServoRegisters(test::kDistinctRegisters);
        StartProgram();
    }

    // One operation with its faults; empty, or what went wrong.
    std::string Step()
    {
        const Faults faults = DrawFaults();
        const ServoOperation operation = Draw(kOperations);
        // The last few steps tell the story of a failure.
        if (m_recent.size() == 4)
            m_recent.pop_front();
        m_recent.push_back(faults.Describe() + "; operation " + std::to_string(static_cast<int>(operation)) +
                           (m_probes ? ", command line" : ", window"));
        if (faults.restart)
            StartProgram();
        m_clock.SleepFor(faults.pause);
        Apply(faults);

        if (!Connected())
            return m_wrong;
        if (faults.killAt.count() >= 0)
            m_program->KillAt(m_clock.Now() + faults.killAt);
        m_program->KillAfterWrites(faults.killAfterWrite);
        const auto judgement = test::RunAndJudge(
            operation, *m_comm, [this] { return m_sim.ServoRegisters(); }, m_sim.AdapterIdentification(), DrawTarget());
        ++m_operations;
        m_succeeded += judgement.succeeded ? 1 : 0;
        if (m_program->Killed()) {
            ++m_killed;
            m_clock.SleepFor(faults.nextStart);
            StartProgram();
        } else if (operation == ServoOperation::Identify && judgement.succeeded &&
                   m_comm->AdapterHandle() == kNullHandle) {
            return "the adapter was rejected after it identified itself";
        }
        // A program that was interrupted ends; the next one starts afresh.
        if (m_comm->LastFailure() == LinkFailure::Interrupted)
            StartProgram();
        return judgement.wrong;
    }

    std::string LastDescription() const
    {
        std::string story;
        for (const std::string& step : m_recent)
            story += "\n  " + step;
        return story;
    }
    long Operations() const { return m_operations; }
    long Succeeded() const { return m_succeeded; }
    long Killed() const { return m_killed; }

private:
    static constexpr ServoOperation kOperations[] = {
        ServoOperation::ReadConfig,  ServoOperation::ReadConfig, ServoOperation::WriteConfig,
        ServoOperation::WriteConfig, ServoOperation::Initialize, ServoOperation::Identify};
    static constexpr int kLineRates[] = {9600, 19200, 57600, 115200};

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
        // Most replies in time; many just past where the late-reply wait
        // starts; some up to a second late.
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
        // One reply later than the rest, within the bound the promise holds to.
        const int lateRoom = 1400 - static_cast<int>((faults.delay + faults.jitter).count());
        if (lateRoom > 30 && Chance(0.1)) {
            faults.lateAt = Between(1, 12);
            faults.lateBy = LinkTime{Between(30, lateRoom)};
        }
        faults.unplugAt = Chance(0.02) ? Between(1, 30) : 0;
        faults.foreign = Chance(0.3);
        faults.interruptAt = Chance(0.03) ? Between(1, 30) : 0;
        faults.restart = Chance(0.04);
        faults.lineRate = Draw(kLineRates);
        // A second Ctrl+C, kill -9, a crash, a window ended by the desktop.
        if (Chance(0.08)) {
            if (Chance(0.5))
                faults.killAt = LinkTime{Between(0, 600)};
            else
                faults.killAfterWrite = Between(1, 14);
            faults.nextStart = LinkTime{Chance(0.7) ? Between(0, 400) : Between(0, 2000)};
        }
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
        m_sim.SetLineRate(faults.lineRate);
        m_sim.SetServoSilent(faults.silent);
        m_sim.SetIdentificationAtOnce(faults.identifyAtOnce);
        m_sim.SetFlushLeavesBytes(faults.flushLeavesBytes);
        m_sim.DropReplies(faults.dropped);
        m_sim.LoseReplies(faults.lost);
        m_sim.CutReplies(faults.cut);
        m_sim.DelayReplyAt(faults.lateAt, faults.lateBy);
        m_foreignNext = faults.foreign;
        m_sim.UnplugAtCommand(faults.unplugAt);
        const std::size_t first = m_sim.CommandCount();
        const int interruptAt = faults.interruptAt;
        m_comm->SetInterruption([this, first, interruptAt] {
            return interruptAt > 0 && m_sim.CommandCount() + 1 >= first + static_cast<std::size_t>(interruptAt);
        });
    }

    // The program ends (its session closes as it would at exit, unless it
    // was killed) and another starts, on the same adapter and servo: the
    // window, which polls without asking the servo, or the command line,
    // which probes the servo as it connects.
    void StartProgram()
    {
        m_comm.reset();
        m_program = std::make_unique<Program>(m_sim, m_clock, m_records);
        m_comm = std::make_unique<TComm>(*m_program, *m_program, *m_program);
        m_probes = Chance(0.5);
    }

    // Connects as the program does; false when there is no session to run
    // the operation in, or a real adapter was called a wrong one.
    bool Connected()
    {
        if (!m_sim.IsPluggedIn())
            PlugIn();  // whoever pulled it out plugs something back in
        const Connection link = Connect(*m_comm, m_probes);
        if (link.stage == LinkStage::NotOurs && !m_foreignAttached) {
            m_wrong = "a real adapter was called a wrong one: " + test::HexText(*link.identification);
            return false;
        }
        if (m_foreignAttached || (link.stage == LinkStage::NoSession && link.failure == LinkFailure::NotOurs)) {
            // The user unplugs what the tool rejected, and the poll sees it gone.
            m_sim.Unplug();
            m_comm->OpenAdapter();
            if (m_foreignAttached && m_sim.ServoCommandCount() != m_servoCommandsBefore)
                m_wrong = "a device that is not a servo adapter was sent more than the identification";
            m_foreignAttached = false;
            return false;
        }
        return link.Identified();
    }

    // The servo's adapter, or now and then another kind of device that
    // takes its place at the same port.
    void PlugIn()
    {
        SimulatedAdapter::Identification identification = m_ours;
        m_foreignAttached = m_foreignNext;
        if (m_foreignAttached)
            identification[protocol::kIdentificationKeyIndex] = 0x55;
        m_sim.SetIdentification(identification);
        m_servoCommandsBefore = m_sim.ServoCommandCount();
        m_sim.Plug();
    }

    std::mt19937_64 m_random;
    FileSessionRecords m_records;
    ManualLinkClock m_clock;
    SimulatedAdapter m_sim;
    std::unique_ptr<Program> m_program;
    std::unique_ptr<TComm> m_comm;
    bool m_probes = false;
    const SimulatedAdapter::Identification m_ours = m_sim.AdapterIdentification();
    bool m_foreignNext = false;
    bool m_foreignAttached = false;
    std::size_t m_servoCommandsBefore = 0;
    std::string m_wrong;
    std::deque<std::string> m_recent;
    long m_operations = 0;
    long m_succeeded = 0;
    long m_killed = 0;
};

TEST(SessionPropertyTest, NoSuccessWithValuesTheServoDoesNotHold)
{
    const std::uint64_t seed = FromEnvironment("RVZ_PROPERTY_SEED", 20261209);
    const auto operations = static_cast<long>(FromEnvironment("RVZ_PROPERTY_OPERATIONS", 100000));
    std::printf("seed %llu, %ld operations (RVZ_PROPERTY_SEED and RVZ_PROPERTY_OPERATIONS change them)\n",
                static_cast<unsigned long long>(seed), operations);
    const test::TempDir notes("rvz-session-notes-");
    RandomUse use(seed, notes.path());
    for (long step = 0; use.Operations() < operations; ++step) {
        const std::string wrong = use.Step();
        ASSERT_EQ(wrong, "") << "step " << step << " of seed " << seed << ": " << use.LastDescription();
    }
    std::printf("%ld operations ran, %ld succeeded, %ld programs killed\n", use.Operations(), use.Succeeded(),
                use.Killed());
    // A run in which nothing succeeds proves nothing.
    EXPECT_GT(use.Succeeded(), use.Operations() / 4);
}

}  // namespace
}  // namespace rvz
