// SPDX-License-Identifier: GPL-3.0-or-later
// rivivev-uvezi-cli: the command line, over the platform's real adapter,
// or with --demo over the simulated adapter and servo.
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <thread>

#include "Cli.h"
#include "CliPlatform.h"
#include "SimulatedAdapter.h"

namespace {

volatile std::sig_atomic_t g_signal = 0;
volatile std::sig_atomic_t g_sending = 0;

// The first stopping signal asks the command to stop before its next
// exchange, or once the operation that is sending has finished, so that
// no servo is left half-written and the adapter is closed properly. A
// second one ends the program at once, unless it is sending.
void OnStopSignal(int signal)
{
    // Windows puts the default handler back before it calls this one.
    std::signal(signal, OnStopSignal);
    if (g_signal != 0 && g_sending == 0)
        std::_Exit(128 + g_signal);
    if (g_signal == 0)
        g_signal = signal;
}

void CatchStopSignals()
{
    for (int signal : rvz::app::StopSignals())
        std::signal(signal, OnStopSignal);
    rvz::app::CatchConsoleClose(OnStopSignal);
    rvz::app::IgnoreBrokenPipes();
}

// A lane to a real adapter: a bridge of its own, the steady clock, and
// pauses that sleep.
class RealLane final : public rvz::cli::AdapterLane {
public:
    explicit RealLane(std::unique_ptr<rvz::UsbBridge> bridge) : m_bridge(std::move(bridge)) {}
    rvz::UsbBridge& Bridge() override { return *m_bridge; }
    void Pause(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }

private:
    std::unique_ptr<rvz::UsbBridge> m_bridge;
};

class ProgramServices final : public rvz::cli::CliServices {
public:
    rvz::UsbBridge& Bridge(bool demo) override
    {
        return demo ? static_cast<rvz::UsbBridge&>(m_simulated) : Real().Bridge();
    }
    rvz::UsbHost* Usb(bool demo) override { return demo ? nullptr : Real().Usb(); }
    std::optional<rvz::cli::DoctorStep> LibraryStep(bool demo) override
    {
        return demo ? std::nullopt : Real().LibraryStep();
    }

    std::unique_ptr<rvz::cli::AdapterLane> Lane(bool demo, const rvz::AdapterName&) override;

    // The demo's workshop: a programmed servo is pulled out with its
    // adapter at the next pause, and the adapter plugged in again with a
    // fresh servo at the pause after.
    void ServoProgrammed() override { m_swap = Swap::Unplug; }
    void Pause(std::chrono::milliseconds duration) override
    {
        std::this_thread::sleep_for(duration);
        if (m_swap == Swap::Unplug) {
            m_simulated.Unplug();
            m_swap = Swap::PlugNext;
        } else if (m_swap == Swap::PlugNext) {
            m_simulated.ReplaceServo();
            m_simulated.Plug();
            m_swap = Swap::None;
        }
    }
    int StopSignal() override { return g_signal; }
    void SetSending(bool sending) override { g_sending = sending ? 1 : 0; }
    std::istream* Input() override { return &std::cin; }
    std::filesystem::path HistoryFile(bool demo) override
    {
        const std::filesystem::path folder = rvz::app::StateFolder();
        return folder.empty() ? folder : folder / (demo ? "demo-history.jsonl" : "history.jsonl");
    }
    bool ErrorIsTerminal() override { return rvz::app::StandardErrorIsTerminal(); }
    std::string Now() override
    {
        const std::tm utc = rvz::app::UtcTime(std::time(nullptr));
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
        return text;
    }

private:
    // The real adapter's library is loaded only when a command asks for it,
    // so --demo runs where no adapter software is installed.
    rvz::app::RealAdapter& Real()
    {
        if (!m_real)
            m_real = rvz::app::MakeRealAdapter();
        return *m_real;
    }

    enum class Swap { None, Unplug, PlugNext };
    rvz::SimulatedAdapter m_simulated{true};
    std::unique_ptr<rvz::app::RealAdapter> m_real;
    Swap m_swap = Swap::None;
};

// The demo has one simulated adapter: its lane is the workshop's.
class DemoLane final : public rvz::cli::AdapterLane {
public:
    explicit DemoLane(ProgramServices& services) : m_services(services) {}
    rvz::UsbBridge& Bridge() override { return m_services.Bridge(true); }
    void Pause(std::chrono::milliseconds duration) override { m_services.Pause(duration); }
    void ServoProgrammed() override { m_services.ServoProgrammed(); }

private:
    ProgramServices& m_services;
};

std::unique_ptr<rvz::cli::AdapterLane> ProgramServices::Lane(bool demo, const rvz::AdapterName&)
{
    if (demo)
        return std::make_unique<DemoLane>(*this);
    return std::make_unique<RealLane>(Real().OwnBridge());
}

}  // namespace

int main(int argc, char** argv)
{
    CatchStopSignals();
    rvz::app::PrepareConsole();
    ProgramServices services;
    const int code = rvz::cli::RunCli(rvz::app::Utf8Arguments(argc, argv), services, std::cout, std::cerr);
    std::cout.flush();
    rvz::app::CommandEnded();
    rvz::app::RestoreConsole();
    return code;
}
