// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line run in-process over the simulated adapter and servo, in
// virtual time, as a script would run it: its output, exit code, files and
// effect on the servo. Shared by the command line's tests.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Cli.h"
#include "ExitCodes.h"
#include "SimulatedAdapter.h"
#include "TempDir.h"

namespace rvz::cli::test {

class TestServices final : public CliServices {
public:
    SimulatedAdapter sim{true};
    // The session's waits pass in virtual time.
    ManualLinkClock clock;
    std::function<void()> onPause;  // what happens at the bench while the batch waits
    int pauses = 0;
    int programmed = 0;
    int signal = 0;
    // A signal that comes as the servo receives its command number this (0: never).
    std::size_t signalAtCommand = 0;
    int signalThen = 2;
    std::istringstream input;
    std::filesystem::path history;

    UsbBridge& Bridge(bool) override { return sim; }
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
        return pauses > 50 ? 2 : signal;
    }
    void ServoProgrammed() override { ++programmed; }
    std::string Now() override { return "2026-12-08T10:00:00Z"; }
    std::istream* Input() override { return &input; }
    std::filesystem::path HistoryFile(bool) override { return history; }
};

class CliFixture : public ::testing::Test {
public:
    CliFixture() { services.history = temp.path() / "history.jsonl"; }
    int Run(std::vector<std::string> arguments)
    {
        out.str({});
        err.str({});
        return RunCli(arguments, services, out, err);
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
