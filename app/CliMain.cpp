// rivivev-uvezi-cli: the command line, over a real adapter through libusb,
// or with --demo over the simulated adapter and servo.
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <iostream>
#include <thread>

#include "AdapterUsbBridge.h"
#include "Cli.h"
#include "LibusbHost.h"
#include "SimulatedAdapter.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

class ProgramServices final : public rvz::cli::CliServices {
public:
    rvz::UsbBridge& Bridge(bool demo) override { return demo ? static_cast<rvz::UsbBridge&>(m_simulated) : m_adapter; }
    rvz::UsbHost* Usb(bool demo) override { return demo ? nullptr : &m_usb; }

    // The demo's workshop: a programmed servo is pulled out at the next
    // pause, and a fresh one plugged in at the pause after.
    void ServoProgrammed() override { m_swap = Swap::Unplug; }
    void Pause(std::chrono::milliseconds duration) override
    {
        std::this_thread::sleep_for(duration);
        if (m_swap == Swap::Unplug) {
            m_simulated.SetServoSilent(true);
            m_swap = Swap::PlugNext;
        } else if (m_swap == Swap::PlugNext) {
            m_simulated.ReplaceServo();
            m_swap = Swap::None;
        }
    }
    bool Interrupted() override { return g_interrupted != 0; }
    bool ErrorIsTerminal() override { return ::isatty(STDERR_FILENO) == 1; }
    std::string Now() override
    {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        ::gmtime_r(&now, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
        return text;
    }

private:
    enum class Swap { None, Unplug, PlugNext };
    rvz::SimulatedAdapter m_simulated{true};
    rvz::LibusbHost m_usb;
    rvz::AdapterUsbBridge m_adapter{m_usb};
    Swap m_swap = Swap::None;
};

}  // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, OnInterrupt);
    ProgramServices services;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return rvz::cli::RunCli(arguments, services, std::cout, std::cerr);
}
