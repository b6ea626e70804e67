// SPDX-License-Identifier: GPL-3.0-or-later
// What else on the system keeps the adapter from the tool, each finding with
// the one command that fixes it.
#include "AdapterIds.h"
#include "Doctor.h"
#include "UsbAdapters.h"

namespace rvz::cli {

namespace {

// The group that may open the adapter where logind gives no seat access.
constexpr const char* kFallbackGroup = "plugdev";

DoctorStep Warning(std::string what, std::string fix) { return {std::move(what), true, std::move(fix), true}; }

// Makes udev apply its rules again to the attached adapter.
std::string TriggerRule()
{
    return "sudo udevadm control --reload-rules && sudo udevadm trigger --action=change --subsystem-match=usb "
           "--attr-match=idVendor=" + UsbIdHex(kAdapterVendorId);
}

// Installs the rule from the source folder it was built in (a package installs it itself).
std::string InstallRule() { return "sudo cmake --install build --component udev && " + TriggerRule(); }

// Whether udev applied the adapter's rule to the attached device: the rule
// sets ID_MM_DEVICE_IGNORE, which nothing else of ours does.
bool RuleApplied(const SystemFacts& facts, const UsbDeviceInfo& device)
{
    return facts.UdevProperty(device.bus, device.address, "ID_MM_DEVICE_IGNORE").value_or("") == "1";
}

// Joins the group the rule grants the adapter to. Where the system has no
// such group, it is made, and the rule applied again: udev passed over
// the group it did not know.
std::string JoinFallbackGroup(const SystemFacts& facts)
{
    const std::string group = kFallbackGroup;
    const std::string join = "sudo usermod -aG " + group + " " + facts.UserName();
    return facts.GroupExists(group) ? join : "sudo groupadd --system " + group + " && " + join + " && " + TriggerRule();
}

}  // namespace

std::string NoAdapterAdvice(const SystemFacts& facts)
{
    const std::string list = "lsusb -d " + UsbIdHex(kAdapterVendorId) + ":";
    return "Plug the adapter in (another cable or port may help); `" + list + "` should then list it" +
           (facts.ToolInstalled("lsusb") ? "." : " (lsusb comes with the package usbutils).");
}

std::string MayNotOpenAdvice(const SystemFacts& facts, const UsbDeviceInfo& device)
{
    // Only the rule, or the group it grants, opens the adapter: never the
    // node's own group, which may be root's or the user's own.
    if (!facts.UdevRuleInstalled())
        return "Install the udev rule, which lets you open it, and apply it: " + InstallRule();
    if (!RuleApplied(facts, device))
        return "The udev rule is installed but was not applied to this adapter (plugged in before the rule came?); "
               "apply it, or plug the adapter in again: " + TriggerRule();
    if (facts.UserInGroup(kFallbackGroup))
        return std::string("The rule was applied and you are in the group ") + kFallbackGroup +
               ", yet the node is not yours to open: a later udev rule may set its group or mode; see which with: "
               "udevadm test $(udevadm info -q path -n " + facts.DeviceNode(device.bus, device.address).path + ")";
    if (!facts.SeatAccessManaged())
        return std::string("No logind hands this seat the adapter, so only the group ") + kFallbackGroup +
               " opens it; join it, then log out and in again: " + JoinFallbackGroup(facts);
    return std::string("The rule gives the adapter to the user at the machine's seat; from another login (ssh, "
                       "another seat) join the group ") + kFallbackGroup + ", then log out and in again: " +
           JoinFallbackGroup(facts);
}

std::optional<DoctorStep> SandboxFinding(const SystemFacts& facts)
{
    const SandboxFacts sandbox = facts.Sandbox();
    if (sandbox.kind == SandboxFacts::Kind::None || sandbox.usbVisible)
        return std::nullopt;
    if (sandbox.kind == SandboxFacts::Kind::Flatpak)
        return DoctorStep{"the program runs in a Flatpak sandbox (" + sandbox.name + ") that lets no USB device through",
                          false, "Let it reach USB devices, then start it again: flatpak override --user --device=all " +
                              sandbox.name};
    return DoctorStep{"the program runs in a Snap sandbox (" + sandbox.name + ") that lets no USB device through",
                      false, "Connect its USB plug, then start it again: sudo snap connect " + sandbox.name + ":raw-usb"};
}

std::vector<DoctorStep> AdapterFindings(const SystemFacts& facts, const UsbDeviceInfo& device)
{
    std::vector<DoctorStep> findings;
    const std::string ids = UsbIdText(device);

    // ModemManager probes the serial ports it finds with AT commands, which
    // would reach the servo, unless udev told it to leave the device alone.
    if (facts.ProgramRunning("ModemManager") && !RuleApplied(facts, device))
        findings.push_back(Warning(
            "ModemManager runs and is not told to leave the adapter alone; it may send its probes to the servo",
            facts.UdevRuleInstalled() ? "Apply the installed udev rule to the attached adapter: " + TriggerRule()
                                      : "Install the udev rule, which tells it so, and apply it: " + InstallRule()));

    // brltty takes some bridge chips' IDs for braille displays and claims them.
    // A packaged rule is masked by an empty one of the same name in /etc;
    // one in /etc itself is renamed, as udev reads only "*.rules".
    const std::string local = "/etc/udev/rules.d/";
    for (const std::string& rule : facts.BrlttyRulesClaiming(device.vendorId, device.productId)) {
        const std::string off = rule.starts_with(local)
                                    ? "sudo mv " + rule + " " + rule + ".off"
                                    : "sudo ln -s /dev/null " + local + rule.substr(rule.find_last_of('/') + 1);
        findings.push_back(Warning("brltty's rule " + rule + " claims " + ids +
                                       " as a braille display and may take the adapter",
                                   "Unless a braille display here uses " + ids + ", switch that rule off: " + off));
    }

    // A serial driver's port is open to every program that scans ports.
    const SerialDriverFacts serial = facts.SerialDriver(device.bus, device.address);
    if (!serial.driver.empty() && !serial.ports.empty()) {
        std::string ports;
        for (const std::string& port : serial.ports)
            ports += (ports.empty() ? "/dev/" : ", /dev/") + port;
        findings.push_back(Warning("the " + serial.driver + " driver made " + ports +
                                       " of the adapter; programs that scan serial ports may write to the servo",
                                   "Unbind it until the adapter is plugged in again: echo " + serial.interfaceName +
                                       " | sudo tee /sys/bus/usb/drivers/" + serial.driver + "/unbind"));
    }

    // Without logind the uaccess tag gives nothing: only the rule's group
    // opens it (where the rule is missing, opening it says to install it).
    const DeviceNodeFacts node = facts.DeviceNode(device.bus, device.address);
    if (!facts.SeatAccessManaged() && facts.UdevRuleInstalled() && !facts.UserInGroup(kFallbackGroup) &&
        !node.readable) {
        findings.push_back(Warning("no logind hands this seat the adapter, and " + facts.UserName() +
                                       " is not in the group " + kFallbackGroup + ", which may open it",
                                   "Join the group, then log out and in again: " + JoinFallbackGroup(facts)));
    }
    return findings;
}

}  // namespace rvz::cli
