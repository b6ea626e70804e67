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

// The user's name and groups, and whether the adapter's udev rule is installed.
std::string UserAndGroups();
bool UdevRuleInstalled();

}  // namespace rvz::cli
