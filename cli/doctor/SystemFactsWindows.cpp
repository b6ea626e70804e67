// SPDX-License-Identifier: GPL-3.0-or-later
// The system facts on Windows. The vendor's driver owns the adapter there,
// so there is no device node, no descriptor file and no udev: the doctor
// reaches those facts only through libusb, which Windows builds do not use.
#include <windows.h>

#include <string>

#include "SystemFacts.h"
#include "WideText.h"

namespace rvz::cli {

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

class WindowsSystemFacts final : public SystemFacts {
public:
    std::string OperatingSystem() const override
    {
        // GetVersionEx reports what the manifest admits, not the real
        // version; ntdll's RtlGetVersion tells the truth.
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

    DeviceNodeFacts DeviceNode(std::uint8_t, std::uint8_t) const override { return {}; }
    std::vector<std::uint8_t> RawDescriptors(std::uint8_t, std::uint8_t) const override { return {}; }
    // The vendor's driver does not say who holds the adapter.
    std::vector<std::string> ProgramsHolding(std::uint8_t, std::uint8_t) const override { return {}; }

    std::string UserName() const override
    {
        wchar_t name[257]{};
        DWORD size = 257;
        return ::GetUserNameW(name, &size) ? Utf8FromWide(name) : "unknown";
    }
    bool UserInGroup(const std::string&) const override { return false; }
    std::string UserAndGroups() const override { return UserName(); }

    // No udev, ModemManager, brltty, serial driver binding or sandbox of
    // the kinds the doctor knows: the vendor's driver owns the adapter.
    bool UdevRuleInstalled() const override { return false; }
    std::optional<std::string> UdevProperty(std::uint8_t, std::uint8_t, const std::string&) const override
    {
        return std::nullopt;
    }
    bool ProgramRunning(const std::string&) const override { return false; }
    std::vector<std::string> BrlttyRulesClaiming(std::uint16_t, std::uint16_t) const override { return {}; }
    SerialDriverFacts SerialDriver(std::uint8_t, std::uint8_t) const override { return {}; }
    SandboxFacts Sandbox() const override { return {}; }
    bool SeatAccessManaged() const override { return true; }
    bool GroupExists(const std::string&) const override { return false; }
    bool ToolInstalled(const std::string&) const override { return false; }
};

}  // namespace

const SystemFacts& HostFacts()
{
    static const WindowsSystemFacts facts;
    return facts;
}

}  // namespace rvz::cli
