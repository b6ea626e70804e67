// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's platform on Linux: libusb, and a POSIX terminal.
#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>

#include "AdapterUsbBridge.h"
#include "CliPlatform.h"
#include "LibusbHost.h"

namespace rvz::app {

namespace {

class LibusbAdapter final : public RealAdapter {
public:
    UsbBridge& Bridge() override { return m_bridge; }
    UsbHost* Usb() override { return &m_usb; }
    std::optional<cli::DoctorStep> LibraryStep() override { return std::nullopt; }
    // With a libusb context of its own, which no other thread touches.
    std::unique_ptr<UsbBridge> OwnBridge() override
    {
        return std::make_unique<AdapterUsbBridge>(std::make_unique<LibusbHost>());
    }

private:
    LibusbHost m_usb;
    AdapterUsbBridge m_bridge{m_usb};
};

}  // namespace

std::unique_ptr<RealAdapter> MakeRealAdapter() { return std::make_unique<LibusbAdapter>(); }

// Linux hands the arguments over as the bytes typed, UTF-8 in any sane locale.
std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

void PrepareConsole() {}

void RestoreConsole() {}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

// Every signal that would end the program and can be caught: each stops a
// command before its next exchange, and none tears a send.
std::vector<int> StopSignals() { return {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM}; }

void CatchConsoleClose(void (*)(int)) {}

void CommandEnded() {}

void IgnoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

std::filesystem::path StateFolder()
{
    // A relative folder is no state folder: it would follow the working folder.
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && xdg[0] == '/')
        return std::filesystem::path(xdg) / "rivivev-uvezi";
    const char* home = std::getenv("HOME");
    std::string folder = home && home[0] == '/' ? home : "";
    if (folder.empty())
        if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir && account->pw_dir[0] == '/')
            folder = account->pw_dir;
    return folder.empty() ? std::filesystem::path() : std::filesystem::path(folder) / ".local" / "state" / "rivivev-uvezi";
}

std::tm UtcTime(std::time_t time)
{
    std::tm utc{};
    ::gmtime_r(&time, &utc);
    return utc;
}

}  // namespace rvz::app
