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
#include <vector>

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

struct Faults {
    int lateMs = 0;
    int lateCommands = 0;
    int jitterMs = 0;
    int splitAt = 0;
    int keptRegister = -1;
    bool silent = false;
    int stallAt = 0;
    int unplugAfter = 0;
    bool ignoreControl = false;
    bool kernelDriver = false;
};

int Run(const Faults& faults, std::vector<std::string> command)
{
    if (command.empty())
        command.push_back(RVZ_PROGRAM);
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    rvz::test::VirtualUsbBus bus;  // sets UMOCKDEV_DIR for the child
    rvz::test::VirtualAdapter& adapter = bus.Plug(2, false);  // there before the program starts
    adapter.SetBehaviour({.firstPacketBytes = static_cast<std::size_t>(faults.splitAt),
                          .replyDelay = std::chrono::milliseconds(faults.lateMs),
                          .replyJitter = std::chrono::milliseconds(faults.jitterMs),
                          .lateIdentification = false,
                          .ignoreControl = faults.ignoreControl,
                          .kernelDriverBound = faults.kernelDriver});
    adapter.WithServo([&](rvz::SimulatedAdapter& servo) {
        servo.SetServoSilent(faults.silent);
        servo.KeepOldValueOf(faults.keptRegister);
        return 0;
    });
    if (faults.stallAt > 0)
        adapter.StallAtExchange(faults.stallAt);
    if (faults.unplugAfter > 0)
        adapter.VanishAtExchange(faults.unplugAfter + 1);
    std::fprintf(stderr, "virtual adapter 10c4:ea61 on bus 1, address 2 (testbed %s)\n", bus.RootDir().c_str());

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
    bool unplugged = false;
    bool inTime = false;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR))
            break;
        // Once its first commands were answered late, the servo answers in time.
        if (faults.lateCommands > 0 && !inTime &&
            adapter.WithServo([](rvz::SimulatedAdapter& servo) { return servo.CommandCount(); }) >=
                static_cast<std::size_t>(faults.lateCommands)) {
            adapter.SetBehaviour({.firstPacketBytes = static_cast<std::size_t>(faults.splitAt),
                                  .lateIdentification = false,
                                  .ignoreControl = faults.ignoreControl,
                                  .kernelDriverBound = faults.kernelDriver});
            inTime = true;
        }
        // A device that vanished mid-exchange is then taken off the bus, as
        // the system announces a pulled-out adapter.
        if (!unplugged && adapter.Vanished()) {
            bus.Unplug(adapter);
            unplugged = true;
            std::fprintf(stderr, "virtual adapter unplugged\n");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"rivivev-uvezi-virtual [OPTIONS] [PROGRAM [ARGUMENTS...]]\n\nRuns PROGRAM (by default the rivivev-uvezi of this build) against a virtual servo adapter, "
                 "10c4:ea61 on a virtual USB bus with the simulated servo attached, and answers its USB calls "
                 "until it ends. The options switch faults on, so that the program's fault paths can be watched. "
                 "Exits with the program's exit code; Ctrl+C reaches the program.",
                 "rivivev-uvezi-virtual"};
    Faults faults;
    std::vector<std::string> command;
    app.add_option("--late", faults.lateMs, "every reply of the servo arrives MS milliseconds after its command")
        ->check(CLI::Range(0, 10000))->option_text("MS");
    app.add_option("--late-commands", faults.lateCommands,
                   "only the first N commands (the identification counts) are answered late; the rest in time")
        ->check(CLI::PositiveNumber);
    app.add_option("--jitter", faults.jitterMs, "... plus up to MS milliseconds more, at random")
        ->check(CLI::Range(0, 10000))->option_text("MS");
    app.add_option("--split", faults.splitAt,
                   "every reply comes cut in two USB packets, the first with N bytes, the rest 3 ms later")
        ->check(CLI::Range(1, 64))->option_text("N");
    app.add_flag("--silent", faults.silent, "the servo answers nothing (the adapter still identifies)");
    app.add_option("--keep-old", faults.keptRegister,
                   "the servo acknowledges writes to register REG (1 to 15) but keeps its old value, so a write "
                   "with --verify ends with exit code 7")
        ->check(CLI::Range(1, 15))->option_text("REG");
    app.add_option("--stall", faults.stallAt, "the N-th command loses its reply and the IN endpoint halts")
        ->check(CLI::PositiveNumber)->option_text("N");
    app.add_option("--unplug-after", faults.unplugAfter, "the adapter is pulled out after N commands")
        ->check(CLI::PositiveNumber)->option_text("N");
    app.add_flag("--ignore-control", faults.ignoreControl, "the adapter never answers control requests");
    app.add_flag("--kernel-driver", faults.kernelDriver,
                 "a kernel driver (the serial driver) is bound to the adapter's interface");
    // Everything from the first word that is not an option of ours is the program and its arguments.
    app.prefix_command();
    app.footer("Examples:\n"
               "  rivivev-uvezi-virtual --late 120 --jitter 60      the window, with replies 120 to 180 ms late\n"
               "  rivivev-uvezi-virtual --silent build/app/rivivev-uvezi-cli read --json\n"
               "  rivivev-uvezi-virtual --keep-old 8 build/app/rivivev-uvezi-cli write --set neutral=1520 --verify\n"
               "  rivivev-uvezi-virtual sh -c 'rivivev-uvezi-cli read & rivivev-uvezi-cli read; wait'   one gets "
               "\"in use by another program\"");
    CLI11_PARSE(app, argc, argv);
    command = app.remaining();

    try {
        return Run(faults, command);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rivivev-uvezi-virtual: %s\n", error.what());
        return 1;
    }
}
