// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Facts about this system that the doctor reports: nothing here changes
// anything. One implementation per platform, HostFacts(); tests hand the
// doctor made-up ones.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rvz::cli {

// The device node through which the USB device at bus and address is
// opened, its owner, group and mode, and whether this user may open it.
struct DeviceNodeFacts {
    std::string path;
    std::string owner;
    std::string group;
    std::string mode;       // "crw-rw-r--"
    bool readable = false;  // for this user, read and write
    bool exists = false;
};

// A kernel driver bound to the device's first interface, and the serial
// ports it made of it.
struct SerialDriverFacts {
    std::string interfaceName;  // sysfs name of the interface, "1-2:1.0"
    std::string driver;         // "cp210x"; empty when none is bound
    std::vector<std::string> ports;  // "ttyUSB0"
};

// A sandbox the program runs in, and whether it lets USB devices through.
struct SandboxFacts {
    enum class Kind { None, Flatpak, Snap } kind = Kind::None;
    std::string name;  // the Flatpak application ID or the snap's name
    bool usbVisible = true;
};

class SystemFacts {
public:
    virtual ~SystemFacts() = default;
    // "Linux 6.1.0 x86_64", or what the platform calls itself.
    virtual std::string OperatingSystem() const = 0;
    virtual DeviceNodeFacts DeviceNode(std::uint8_t bus, std::uint8_t address) const = 0;
    // The device's descriptors as the system keeps them; empty when unknown.
    virtual std::vector<std::uint8_t> RawDescriptors(std::uint8_t bus, std::uint8_t address) const = 0;
    // The other programs that hold the device's node open, as
    // "name (PID n)"; empty where the system cannot tell.
    virtual std::vector<std::string> ProgramsHolding(std::uint8_t bus, std::uint8_t address) const = 0;
    // The user's name, and whether the user belongs to a group.
    virtual std::string UserName() const = 0;
    virtual bool UserInGroup(const std::string& group) const = 0;
    // The user's name and groups, for the report.
    virtual std::string UserAndGroups() const = 0;
    // Whether the adapter's udev rule is installed.
    virtual bool UdevRuleInstalled() const = 0;
    // A udev property of the device, as udev last set it; none when unset.
    virtual std::optional<std::string> UdevProperty(std::uint8_t bus, std::uint8_t address,
                                                    const std::string& name) const = 0;
    // Whether a process runs the program of that name.
    virtual bool ProgramRunning(const std::string& name) const = 0;
    // brltty's udev rule files that claim the vendor and product as a
    // braille display.
    virtual std::vector<std::string> BrlttyRulesClaiming(std::uint16_t vendorId, std::uint16_t productId) const = 0;
    virtual SerialDriverFacts SerialDriver(std::uint8_t bus, std::uint8_t address) const = 0;
    virtual SandboxFacts Sandbox() const = 0;
    // Whether logind hands device access to the user at the seat (uaccess).
    virtual bool SeatAccessManaged() const = 0;
    virtual bool GroupExists(const std::string& name) const = 0;
    // Whether a command of that name is on the path (or in the system's
    // sbin folders), for advice that names only tools the system has.
    virtual bool ToolInstalled(const std::string& name) const = 0;
};

// This system's facts.
const SystemFacts& HostFacts();

// " (name (PID n), ...)" for a message, or nothing when none is known.
inline std::string HoldersInParentheses(const SystemFacts& facts, std::uint8_t bus, std::uint8_t address)
{
    std::string list;
    for (const std::string& holder : facts.ProgramsHolding(bus, address))
        list += (list.empty() ? "" : ", ") + holder;
    return list.empty() ? list : " (" + list + ")";
}

}  // namespace rvz::cli
