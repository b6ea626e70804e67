// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a program against a virtual adapter on a virtual USB bus, so the
// real rivivev-uvezi can be tried, and its fault paths watched, without
// hardware. See --help.
#include <CLI/CLI.hpp>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "LaunchOptions.h"
#include "ServoOperations.h"
#include "VirtualAdapter.h"

namespace {

volatile sig_atomic_t g_child = 0;

// Ctrl+C and termination reach the program; this process waits for it to
// end, so that its temporary testbed is removed on the way out.
void PassOn(int signal)
{
    if (g_child > 0)
        ::kill(static_cast<pid_t>(g_child), signal);
}

void PassSignalsOn()
{
    struct sigaction action {};
    action.sa_handler = PassOn;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(signal, &action, nullptr);
}

using Clock = std::chrono::steady_clock;
using rvz::test::AdapterFaults;

// A swapped adapter stays out over two polls of the window's or a batch's,
// so that the program sees it gone...
constexpr std::chrono::milliseconds kSwapOut{600};
static_assert(kSwapOut >= 2 * rvz::kPollInterval, "the help text promises two polls");
// ...and goes only once no command came for this long (plus its replies'
// lateness), so that it does not tear a write in progress.
constexpr std::chrono::milliseconds kSwapQuiet{250};

// One adapter of the bench at its port, the device plugged in there now,
// and what the launcher does to it while the program runs.
class BenchAdapter {
public:
    BenchAdapter(rvz::test::VirtualUsbBus& bus, int port, const AdapterFaults& faults)
        : m_bus(bus), m_port(port), m_faults(faults)
    {
    }

    int Port() const { return m_port; }
    const rvz::test::VirtualAdapter& Device() const { return *m_device; }

    // A fresh device with a fresh servo at the port, with the faults.
    void PlugIn(bool announce)
    {
        m_device = &m_bus.Plug(rvz::test::UsbPort{static_cast<std::uint8_t>(m_port)}, announce);
        m_device->SetBehaviour(Behaviour(true));
        m_device->WithServo([&](rvz::SimulatedAdapter& servo) {
            servo.ReplaceServo();
            servo.SetServoSilent(m_faults.silent);
            servo.KeepOldValueOf(m_faults.keptRegister);
            return 0;
        });
        if (m_faults.stallAt > 0)
            m_device->StallAtExchange(m_faults.stallAt);
        if (m_faults.unplugAfter > 0)
            m_device->VanishAtExchange(m_faults.unplugAfter + 1);
        m_inTime = false;
        m_state = State::In;
        m_since = Clock::now();
    }

    // One turn of the launcher's loop; servos counts the servos plugged in
    // so far, over all adapters.
    void Tend(bool named, int& servos)
    {
        const auto now = Clock::now();
        if (m_state == State::Out) {
            if (now - m_since >= kSwapOut) {
                PlugIn(true);
                std::fprintf(stderr, "virtual adapter at port 1-%d swapped: servo %d, address %u\n", m_port,
                             ++servos, m_device->Address());
            }
            return;
        }
        if (m_state == State::Gone)
            return;
        // Once its first commands were answered late, the servo answers in time.
        if (m_faults.lateCommands > 0 && !m_inTime &&
            m_device->WithServo([](rvz::SimulatedAdapter& servo) { return servo.CommandCount(); }) >=
                static_cast<std::size_t>(m_faults.lateCommands)) {
            m_device->SetBehaviour(Behaviour(false));
            m_inTime = true;
        }
        // A device that vanished mid-exchange is then taken off the bus, as
        // the system announces a pulled-out adapter.
        if (m_device->Vanished()) {
            m_bus.Unplug(*m_device);
            m_state = State::Gone;
            if (named)
                std::fprintf(stderr, "virtual adapter at port 1-%d unplugged\n", m_port);
            else
                std::fprintf(stderr, "virtual adapter unplugged\n");
            return;
        }
        const auto quiet = kSwapQuiet + std::chrono::milliseconds(m_faults.lateMs + m_faults.jitterMs);
        if (m_faults.swapEveryMs > 0 && now - m_since >= std::chrono::milliseconds(m_faults.swapEveryMs) &&
            now - m_device->LastCommandAt() >= quiet) {
            m_bus.Unplug(*m_device);
            m_state = State::Out;
            m_since = now;
        }
    }

private:
    enum class State { In, Out, Gone };

    rvz::test::VirtualAdapterBehaviour Behaviour(bool late) const
    {
        return {.firstPacketBytes = static_cast<std::size_t>(m_faults.splitAt),
                .replyDelay = std::chrono::milliseconds(late ? m_faults.lateMs : 0),
                .replyJitter = std::chrono::milliseconds(late ? m_faults.jitterMs : 0),
                .lateIdentification = false,
                .ignoreControl = m_faults.ignoreControl,
                .kernelDriverBound = m_faults.kernelDriver};
    }

    rvz::test::VirtualUsbBus& m_bus;
    int m_port;
    AdapterFaults m_faults;
    rvz::test::VirtualAdapter* m_device = nullptr;
    bool m_inTime = false;
    State m_state = State::In;
    Clock::time_point m_since;  // plugged in, or pulled out for a swap
};

int Run(rvz::test::LaunchPlan plan)
{
    std::vector<std::string>& command = plan.command;
    if (command.empty())
        command.push_back(RVZ_PROGRAM);
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    rvz::test::VirtualUsbBus bus;  // sets UMOCKDEV_DIR for the child
    // One adapter is named as before; on a bench each by its port.
    const bool named = plan.adapters.size() > 1;
    std::vector<BenchAdapter> adapters;
    adapters.reserve(plan.adapters.size());
    for (const AdapterFaults& faults : plan.adapters) {
        BenchAdapter& adapter = adapters.emplace_back(bus, static_cast<int>(adapters.size()) + 1, faults);
        adapter.PlugIn(false);  // there before the program starts
        if (named)
            std::fprintf(stderr, "virtual adapter 10c4:ea61 at port 1-%d, bus 1, address %u (testbed %s)\n",
                         adapter.Port(), adapter.Device().Address(), bus.RootDir().c_str());
        else
            std::fprintf(stderr, "virtual adapter 10c4:ea61 on bus 1, address %u (testbed %s)\n",
                         adapter.Device().Address(), bus.RootDir().c_str());
    }
    int servos = static_cast<int>(adapters.size());

    PassSignalsOn();
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        // umockdev serves the program's system calls through its preload
        // library; a sanitizer runtime, where the build has one, comes first.
        ::setenv("LD_PRELOAD", RVZ_PRELOAD, 1);
        ::execvp(argv[0], argv.data());
        std::perror(argv[0]);
        ::_exit(127);
    }
    g_child = child;

    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR))
            break;
        for (BenchAdapter& adapter : adapters)
            adapter.Tend(named, servos);
        // Often enough to catch a quiet spell between a program's polls.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"rivivev-uvezi-virtual [OPTIONS] [PROGRAM [ARGUMENTS...]]\n\nRuns PROGRAM (by default the rivivev-uvezi "
                 "of this build) against virtual servo adapters, 10c4:ea61 on a virtual USB bus, each with a "
                 "simulated servo attached, and answers its USB calls until it ends. One adapter by default; "
                 "--adapters N makes a bench of N, adapter K at port 1-K. The options switch faults on, so that "
                 "the program's fault paths can be watched: each applies to every adapter, or, with an adapter "
                 "number in front, to that one alone (--late 2:250, --silent=2), and may be given again for "
                 "another one (--late 2:250 --late 3:100). Exits with the program's exit code; Ctrl+C reaches "
                 "the program.",
                 "rivivev-uvezi-virtual"};
    rvz::test::LaunchOptions options(app);
    // Everything from the first word that is not an option of ours is the program and its arguments.
    app.prefix_command();
    app.footer("Examples:\n"
               "  rivivev-uvezi-virtual --late 120 --jitter 60      the window, with replies 120 to 180 ms late\n"
               "  rivivev-uvezi-virtual --silent build/app/rivivev-uvezi-cli read --json\n"
               "  rivivev-uvezi-virtual --keep-old 8 build/app/rivivev-uvezi-cli write --set neutral=1520 --verify\n"
               "  rivivev-uvezi-virtual sh -c 'rivivev-uvezi-cli read & rivivev-uvezi-cli read; wait'   one gets "
               "\"in use by another program\"\n"
               "  rivivev-uvezi-virtual --adapters 4 --late 2:250 --swap-every 1500 build/app/rivivev-uvezi-cli batch "
               "--parallel --set upper=2000 --count 8 --log bench.log\n"
               "      a bench of four, the servo at port 1-2 slow, each adapter's servo swapped every 1.5 s\n"
               "  rivivev-uvezi-virtual --adapters 3 --silent=2 --unplug-after 3:20 bash   a shell on a bench of three");
    rvz::test::LaunchPlan plan;
    try {
        app.parse(argc, argv);
        plan = options.Plan(app.remaining());
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }

    // umockdev announces a device plugged in or pulled out (a uevent) only
    // from a process that sees the testbed's sysfs, which takes its preload
    // library; without the announcement a running program's libusb never
    // learns of a swap.
    if (!rvz::test::VirtualUsbBus::Available()) {
        ::setenv("LD_PRELOAD", RVZ_PRELOAD, 1);
        ::execv("/proc/self/exe", argv);
        std::perror("rivivev-uvezi-virtual");
        return 1;
    }
    try {
        return Run(std::move(plan));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rivivev-uvezi-virtual: %s\n", error.what());
        return 1;
    }
}
