// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line run in-process over the simulated adapter and servo, in
// virtual time, as a script would run it: its output, exit code, files and
// effect on the servo. Shared by the command line's tests.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Cli.h"
#include "ExitCodes.h"
#include "SimulatedAdapter.h"
#include "SimulatedBench.h"
#include "TempDir.h"

namespace rvz::cli::test {

// Thrown where the program is killed outright: nothing after it runs.
struct ProgramKilled {};

// The simulated adapter as a program sees it, which can be killed just as
// a command of its has gone out: the system then closes the adapter, and
// the program touches nothing more.
class KillableBridge final : public UsbBridge {
public:
    explicit KillableBridge(SimulatedAdapter& sim) : m_sim(sim) {}
    std::size_t killAtCommand = 0;  // the servo's command count at which it dies (0: never)
    bool killed = false;

    BridgeStatus GetNumDevices(std::uint32_t* count) override { return killed ? kDead : m_sim.GetNumDevices(count); }
    BridgeStatus Open(std::uint32_t index, BridgeHandle* handle) override
    {
        if (killed)
            return kDead;
        const BridgeStatus status = m_sim.Open(index, handle);
        m_open = status == 0 ? *handle : kNullHandle;
        return status;
    }
    BridgeStatus Close(BridgeHandle handle) override
    {
        if (killed)
            return 0;
        m_open = kNullHandle;
        return m_sim.Close(handle);
    }
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> to, std::uint32_t* received) override
    {
        return killed ? kDead : m_sim.Read(handle, to, received);
    }
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> from, std::uint32_t* written) override
    {
        if (killed)
            return kDead;
        const BridgeStatus status = m_sim.Write(handle, from, written);
        if (killAtCommand > 0 && m_sim.CommandCount() >= killAtCommand) {
            killAtCommand = 0;
            killed = true;
            if (m_open != kNullHandle)
                m_sim.Close(m_open);  // as the system closes a killed program's files
            m_open = kNullHandle;
            throw ProgramKilled{};
        }
        return status;
    }
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t transmit, std::uint8_t receive) override
    {
        return killed ? kDead : m_sim.FlushBuffers(handle, transmit, receive);
    }
    BridgeStatus SetTimeouts(std::uint32_t read, std::uint32_t write) override
    {
        return killed ? kDead : m_sim.SetTimeouts(read, write);
    }

private:
    static constexpr BridgeStatus kDead = 0xFF;
    SimulatedAdapter& m_sim;
    BridgeHandle m_open = kNullHandle;
};

// A lane of a parallel batch to one adapter of the bench: its own bridge,
// its own virtual clock, and its own bench hand at each pause.
class TestLane final : public AdapterLane {
public:
    TestLane(SimulatedAdapter& slot, const std::string& port) : adapter(slot), bridge(slot, port)
    {
        slot.UseClock(clock);
    }
    UsbBridge& Bridge() override { return bridge; }
    LinkClock& Clock() override { return clock; }
    void Pause(std::chrono::milliseconds duration) override
    {
        clock.SleepFor(duration);
        if (onPause)
            onPause();
    }
    void ServoProgrammed() override { ++programmed; }

    SimulatedAdapter& adapter;
    rvz::test::BenchSlotBridge bridge;
    ManualLinkClock clock;
    std::function<void()> onPause;
    int programmed = 0;
};

class TestServices final : public CliServices {
public:
    SimulatedAdapter sim{true};
    KillableBridge killable{sim};
    // The session's waits pass in virtual time.
    ManualLinkClock clock;
    std::function<void()> onPause;  // what happens at the bench while the batch waits
    int pauses = 0;
    int programmed = 0;
    std::atomic<int> signal = 0;
    // A signal that comes as the servo receives its command number this (0: never).
    std::size_t signalAtCommand = 0;
    int signalThen = 2;
    std::istringstream input;
    std::filesystem::path history;

    // Several adapters, when a test puts them on the bench; then the
    // commands see them all, and a parallel batch gets a lane to each.
    std::unique_ptr<rvz::test::SimulatedBench> bench;
    std::function<void(std::size_t slot, TestLane& lane)> prepareLane;  // as a lane is made
    std::function<void(std::size_t slot, TestLane& lane)> onLanePause;  // in the lane's thread
    std::atomic<int> lanePauses = 0;

    UsbBridge& Bridge(bool) override { return bench ? static_cast<UsbBridge&>(*bench) : killable; }
    std::unique_ptr<AdapterLane> Lane(bool, const AdapterName& adapter) override
    {
        if (!bench)
            return nullptr;
        const std::size_t slot = std::stoul(adapter.port.substr(2)) - 1;
        auto lane = std::make_unique<TestLane>(bench->At(slot), adapter.port);
        lane->onPause = [this, slot, made = lane.get()] {
            ++lanePauses;
            if (onLanePause)
                onLanePause(slot, *made);
        };
        if (prepareLane)
            prepareLane(slot, *lane);
        return lane;
    }
    UsbHost* Usb(bool) override { return nullptr; }
    LinkClock& Clock() override { return clock; }
    void Pause(std::chrono::milliseconds duration) override
    {
        clock.SleepFor(duration);
        if (onPause)
            onPause();
        ++pauses;
    }
    int StopSignal() override
    {
        if (signalAtCommand > 0 && sim.CommandCount() >= signalAtCommand)
            signal = signalThen;
        // A batch that never ends is stopped as by Ctrl+C.
        return pauses > 50 || lanePauses > 2000 ? 2 : signal.load();
    }
    void ServoProgrammed() override { ++programmed; }
    std::string Now() override { return "2026-12-08T10:00:00Z"; }
    std::istream* Input() override { return &input; }
    std::filesystem::path HistoryFile(bool) override { return history; }
};

class CliFixture : public ::testing::Test {
public:
    CliFixture() { services.history = temp.path() / "history.jsonl"; }
    // The exit code, or kKilled when the program was killed outright.
    static constexpr int kKilled = -9;
    int Run(std::vector<std::string> arguments)
    {
        out.str({});
        err.str({});
        services.killable.killed = false;
        try {
            return RunCli(arguments, services, out, err);
        } catch (const ProgramKilled&) {
            return kKilled;
        }
    }
    std::uint8_t Register(int i) const { return services.sim.ServoRegisters()[static_cast<std::size_t>(i)]; }
    std::string File(const char* name) const { return (temp.path() / name).string(); }

    // The workshop's bench: a programmed servo is pulled out with its
    // adapter at the next pause, and the adapter plugged in with a fresh
    // servo at the pause after; then prepare(n) readies the n-th fresh one.
    void UseBench(std::function<void(int)> prepare = {})
    {
        services.onPause = [this, prepare] {
            if (services.programmed > replaced && services.sim.IsPluggedIn()) {
                services.sim.Unplug();
            } else if (!services.sim.IsPluggedIn()) {
                services.sim.ReplaceServo();
                if (prepare)
                    prepare(++replaced);
                else
                    ++replaced;
                services.sim.Plug();
            }
        };
    }

    TestServices services;
    std::ostringstream out;
    std::ostringstream err;
    rvz::test::TempDir temp{"rvz-cli-"};
    int replaced = 0;  // servos the bench has swapped
};

}  // namespace rvz::cli::test
