#pragma once
// Facts about this system that the doctor reports: nothing here changes
// anything. One implementation per platform.

#include <cstdint>
#include <string>
#include <vector>

namespace rvz::cli {

// "Linux 6.1.0 x86_64", or what the platform calls itself.
std::string OperatingSystem();

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
DeviceNodeFacts DeviceNode(std::uint8_t bus, std::uint8_t address);

// The device's descriptors as the system keeps them; empty when unknown.
std::vector<std::uint8_t> RawDescriptors(std::uint8_t bus, std::uint8_t address);

// The other programs that hold the USB device at bus and address open, as
// "name (PID n)"; empty where the system cannot tell.
std::vector<std::string> ProgramsHolding(std::uint8_t bus, std::uint8_t address);
// " (name (PID n), ...)" for a message, or nothing when none is known.
inline std::string HoldersInParentheses(std::uint8_t bus, std::uint8_t address)
{
    std::string list;
    for (const std::string& holder : ProgramsHolding(bus, address))
        list += (list.empty() ? "" : ", ") + holder;
    return list.empty() ? list : " (" + list + ")";
}

// The user's name and groups, and whether the adapter's udev rule is installed.
std::string UserAndGroups();
bool UdevRuleInstalled();

}  // namespace rvz::cli
