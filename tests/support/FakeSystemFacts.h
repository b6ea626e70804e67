// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// System facts made up by a test: a clean Linux system with logind and
// nothing else reaching for the adapter, unless the test says otherwise.

#include <algorithm>
#include <map>

#include "SystemFacts.h"

namespace rvz::test {

using cli::DeviceNodeFacts;
using cli::SandboxFacts;
using cli::SerialDriverFacts;

class FakeSystemFacts final : public cli::SystemFacts {
public:
    DeviceNodeFacts node{"/dev/bus/usb/001/002", "root", "plugdev", "crw-rw----", true, true};
    std::vector<std::string> holders;
    std::string user = "ana";
    std::vector<std::string> groups{"ana"};
    bool udevRule = true;
    std::map<std::string, std::string> udevProperties{{"ID_MM_DEVICE_IGNORE", "1"}};
    std::vector<std::string> running;
    std::vector<std::string> brlttyRules;
    SerialDriverFacts serial{"1-2:1.0", "", {}};
    SandboxFacts sandbox;
    bool logind = true;
    bool plugdevExists = true;
    std::vector<std::string> tools{"lsusb", "cmake"};

    std::string OperatingSystem() const override { return "Linux 6.1.0 x86_64"; }
    DeviceNodeFacts DeviceNode(std::uint8_t, std::uint8_t) const override { return node; }
    std::vector<std::uint8_t> RawDescriptors(std::uint8_t, std::uint8_t) const override { return {}; }
    std::vector<std::string> ProgramsHolding(std::uint8_t, std::uint8_t) const override { return holders; }
    std::string UserName() const override { return user; }
    bool UserInGroup(const std::string& group) const override
    {
        return std::find(groups.begin(), groups.end(), group) != groups.end();
    }
    std::string UserAndGroups() const override { return user; }
    bool UdevRuleInstalled() const override { return udevRule; }
    std::optional<std::string> UdevProperty(std::uint8_t, std::uint8_t, const std::string& name) const override
    {
        const auto found = udevProperties.find(name);
        return found == udevProperties.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    bool ProgramRunning(const std::string& name) const override
    {
        return std::find(running.begin(), running.end(), name) != running.end();
    }
    std::vector<std::string> BrlttyRulesClaiming(std::uint16_t, std::uint16_t) const override { return brlttyRules; }
    SerialDriverFacts SerialDriver(std::uint8_t, std::uint8_t) const override { return serial; }
    SandboxFacts Sandbox() const override { return sandbox; }
    bool SeatAccessManaged() const override { return logind; }
    bool GroupExists(const std::string& group) const override { return group != "plugdev" || plugdevExists; }
    bool ToolInstalled(const std::string& name) const override
    {
        return std::find(tools.begin(), tools.end(), name) != tools.end();
    }
};

}  // namespace rvz::test
