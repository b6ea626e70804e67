// The command line's platform on Windows: the vendor's USBXpress library,
// and a console that is told to take UTF-8.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <ctime>

#include "CliPlatform.h"
#include "SiUsbXpBridge.h"
#include "SiUsbXpLibrary.h"
#include "WideText.h"

namespace rvz::app {

namespace {

constexpr const char* kInstallAdvice =
    "Install the adapter's driver package (the USBXpress driver that comes with the adapter), which brings "
    "SIUSBXP.DLL, or copy its SIUSBXP.DLL beside rivivev-uvezi-cli.exe.";

constexpr const char* kWidth = sizeof(void*) == 8 ? "64" : "32";

cli::DoctorStep StepFor(const SiUsbXpLoad& load)
{
    const std::string file = cli::Utf8FromWide(load.file);
    const std::string path = cli::Utf8FromWide(load.path);
    switch (load.outcome) {
    case SiUsbXpLoad::Outcome::Loaded:
        return {"the adapter's library " + file + " is loaded from " + path, true, {}};
    case SiUsbXpLoad::Outcome::LibraryMissing:
        // A library of the other width is the likeliest mistake after a
        // missing one, and Windows names it only by number.
        if (load.systemError == ERROR_BAD_EXE_FORMAT)
            return {"the adapter's library " + file + " was found, but this " + kWidth +
                        "-bit program cannot load it (Windows error 193): it is built for the other width, or damaged",
                    false,
                    std::string("Copy the ") + kWidth +
                        "-bit SIUSBXP.DLL from the adapter's driver package beside rivivev-uvezi-cli.exe."};
        return {"the adapter's library " + file + " cannot be loaded (Windows error " +
                    std::to_string(load.systemError) + (load.systemError == ERROR_MOD_NOT_FOUND ? ": not found" : "") +
                    ")",
                false, kInstallAdvice};
    case SiUsbXpLoad::Outcome::OrdinalMissing:
        return {path + " has no operation at ordinal " + std::to_string(load.missingOrdinal) + " (" +
                    load.missingOperation + "), so it is not the USBXpress library the adapter needs",
                false, kInstallAdvice};
    case SiUsbXpLoad::Outcome::OrdinalMismatch:
        return {path + " exports " + load.publicName + " as another function than ordinal " +
                    std::to_string(load.missingOrdinal) + " (" + load.missingOperation +
                    "): its ordinals are not those of the USBXpress library the adapter needs, and calling it "
                    "could send anything",
                false, kInstallAdvice};
    }
    return {};
}

class VendorAdapter final : public RealAdapter {
public:
    UsbBridge& Bridge() override { return m_bridge; }
    UsbHost* Usb() override { return nullptr; }
    std::optional<cli::DoctorStep> LibraryStep() override { return StepFor(m_library.Load()); }

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
        arguments.push_back(cli::Utf8FromWide(wide[i]));
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

bool StandardErrorIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

std::tm UtcTime(std::time_t time)
{
    std::tm utc{};
    ::gmtime_s(&utc, &time);
    return utc;
}

}  // namespace rvz::app
