// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's platform on Windows: the vendor's USBXpress library,
// and a console that is told to take UTF-8.
#include <windows.h>

#include <csignal>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "CliPlatform.h"
#include "SiUsbXpBridge.h"
#include "SiUsbXpLibrary.h"
#include "SiUsbXpLoadReport.h"
#include "WideText.h"

namespace rvz::app {

namespace {

class VendorAdapter final : public RealAdapter {
public:
    UsbBridge& Bridge() override { return m_bridge; }
    UsbHost* Usb() override { return nullptr; }
    std::optional<cli::DoctorStep> LibraryStep() override
    {
        LibraryFinding library = DescribeLibraryLoad(m_library.Load(), "rivivev-uvezi-cli.exe");
        return cli::DoctorStep{std::move(library.finding), library.usable, std::move(library.advice)};
    }

    // The library's calls take the handle of the adapter they work: one
    // library serves every thread.
    std::unique_ptr<UsbBridge> OwnBridge() override { return std::make_unique<SiUsbXpBridge>(m_library.Functions()); }

private:
    SiUsbXpLibrary m_library;
    SiUsbXpBridge m_bridge{m_library.Functions()};
};

}  // namespace

std::unique_ptr<RealAdapter> MakeRealAdapter() { return std::make_unique<VendorAdapter>(); }

// argv holds the arguments in the ANSI code page, which loses every
// character outside it; the wide command line keeps them all.
std::vector<std::string> Utf8Arguments(int, char**)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

namespace {
UINT g_consoleCodePage = 0;
}  // namespace

void PrepareConsole()
{
    g_consoleCodePage = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
    // A parameter record on standard input or output is 16 raw bytes: no
    // line-end translation may touch a 0A or 0D among them.
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

void RestoreConsole()
{
    if (g_consoleCodePage != 0)
        ::SetConsoleOutputCP(g_consoleCodePage);
}

// Windows raises SIGINT for Ctrl+C and SIGBREAK for Ctrl+Break; SIGTERM
// is never raised by the system, but may be by the program's own runtime.
std::vector<int> StopSignals() { return {SIGINT, SIGTERM, SIGBREAK}; }

namespace {

void (*g_stopOnClose)(int) = nullptr;
HANDLE g_commandEnded = nullptr;

// Ctrl+C and Ctrl+Break go on to the runtime, which raises SIGINT and
// SIGBREAK. Closing the console, logging off and shutting down end the
// program once this returns, or 5 seconds after the event at the latest.
BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    g_stopOnClose(SIGTERM);
    ::WaitForSingleObject(g_commandEnded, 4500);
    return TRUE;
}

}  // namespace

void CatchConsoleClose(void (*stop)(int))
{
    g_stopOnClose = stop;
    g_commandEnded = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_commandEnded)
        ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void CommandEnded()
{
    if (g_commandEnded)
        ::SetEvent(g_commandEnded);
}

// Windows has no SIGPIPE: a write to a closed pipe fails.
void IgnoreBrokenPipes() {}

bool StandardErrorIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

std::filesystem::path StateFolder()
{
    const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
    return local && *local ? std::filesystem::path(local) / L"Rivivev Uvezi" : std::filesystem::path();
}

std::tm UtcTime(std::time_t time)
{
    std::tm utc{};
    ::gmtime_s(&utc, &time);
    return utc;
}

}  // namespace rvz::app
