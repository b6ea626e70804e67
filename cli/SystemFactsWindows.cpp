// The system facts on Windows. The vendor's driver owns the adapter there,
// so there is no device node, no descriptor file and no udev: the doctor
// reaches those facts only through libusb, which Windows builds do not use.
#include <windows.h>

#include <string>

#include "SystemFacts.h"

namespace rvz::cli {

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

std::string Utf8(const wchar_t* text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(size - 1));
    return utf8;
}

}  // namespace

std::string OperatingSystem()
{
    // GetVersionEx reports what the manifest admits, not the real version;
    // ntdll's RtlGetVersion tells the truth.
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&version) != 0)
        return "Windows";
    return "Windows " + std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) +
           " build " + std::to_string(version.dwBuildNumber);
}

DeviceNodeFacts DeviceNode(std::uint8_t, std::uint8_t) { return {}; }

std::vector<std::uint8_t> RawDescriptors(std::uint8_t, std::uint8_t) { return {}; }

std::string UserAndGroups()
{
    wchar_t name[257]{};
    DWORD size = 257;
    return ::GetUserNameW(name, &size) ? Utf8(name) : "unknown";
}

bool UdevRuleInstalled() { return false; }

}  // namespace rvz::cli
