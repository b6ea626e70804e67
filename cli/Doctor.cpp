// SPDX-License-Identifier: GPL-3.0-or-later
#include "Doctor.h"

#include <algorithm>
#include <cstdio>

#include "AdapterUsbBridge.h"
#include "ExitCodes.h"
#include "ServoOperations.h"
#include "SystemFacts.h"
#include "TracingBridge.h"

namespace rvz::cli {

namespace {

constexpr int kInterfaceNumber = 0;

std::string Where(const UsbDeviceInfo& device)
{
    char text[48];
    std::snprintf(text, sizeof text, "bus %03u address %03u (%04x:%04x)", device.bus, device.address, device.vendorId,
                  device.productId);
    return text;
}

class Steps {
public:
    explicit Steps(Diagnosis& diagnosis) : m_d(diagnosis) {}
    void Ok(std::string what) { m_d.steps.push_back({std::move(what), true, {}}); }
    int Fail(std::string what, std::string advice, int code)
    {
        m_d.steps.push_back({std::move(what), false, std::move(advice)});
        m_d.exitCode = code;
        return code;
    }

private:
    Diagnosis& m_d;
};

// Who to close for a busy adapter. Another servo tool of ours may be
// writing to the servo, so it is never to be ended from here; any other
// holder may be, by the one command where its PID is known.
std::string CloseHolderAdvice(const SystemFacts& facts, const UsbDeviceInfo& device)
{
    const std::vector<std::string> holders = facts.ProgramsHolding(device.bus, device.address);
    const std::string general = "Close that program (other servo tools, or another rivivev-uvezi) and retry";
    if (holders.empty())
        return general + ".";
    const std::string& first = holders.front();
    if (first.starts_with("rivivev-uvezi"))
        return "Let " + first + " finish, or close it from its own window or terminal, and retry: it may be "
               "writing to the servo, so do not end it from outside.";
    // "name (PID 1234)": the number for kill.
    const std::size_t at = first.rfind("(PID ");
    if (at == std::string::npos)
        return general + ".";
    const std::string pid = first.substr(at + 5, first.size() - at - 6);
    return general + "; or, if it hangs, end it: kill " + pid;
}

// The USB library's steps, up to a claimed and released interface.
bool CheckUsb(UsbHost& usb, const SystemFacts& facts, Diagnosis& diagnosis, Steps& steps)
{
    if (!usb.Start()) {
        steps.Fail("libusb cannot start", "This system offers libusb no USB subsystem; in a container, pass /dev/bus/usb in.",
                   kExitNoAdapter);
        return false;
    }
    steps.Ok("libusb " + usb.Version() + " starts");

    const std::vector<UsbDeviceInfo> adapters = AttachedAdapters(usb);
    if (adapters.empty()) {
        steps.Fail("no device with the adapter's USB IDs (10c4:0002, 10c4:ea61) is attached",
                   "Plug the adapter in (another cable or port may help); `lsusb -d 10c4:` should then list it.",
                   kExitNoAdapter);
        return false;
    }
    std::string listed;
    for (const UsbDeviceInfo& device : adapters)
        listed += (listed.empty() ? "" : ", ") + Where(device);
    steps.Ok(std::to_string(adapters.size()) + " device(s) with the adapter's IDs: " + listed);
    diagnosis.device = adapters.front();
    for (DoctorStep& finding : AdapterFindings(facts, adapters.front()))
        diagnosis.steps.push_back(std::move(finding));

    auto device = usb.Open(adapters.front());
    if (!device) {
        const DeviceNodeFacts node = facts.DeviceNode(adapters.front().bus, adapters.front().address);
        if (usb.LastOpenError() == UsbResult::Access)
            steps.Fail("you may not open " + node.path + " (" + node.mode + " " + node.owner + ":" + node.group + ")",
                       "Install the udev rule (sudo cmake --install build --component udev, then sudo udevadm control "
                       "--reload-rules && sudo udevadm trigger) and plug the adapter in again, or join the group " +
                           node.group + ".",
                       kExitNoAdapter);
        else
            steps.Fail("the adapter cannot be opened", "Unplug the adapter, plug it in again and retry.", kExitNoAdapter);
        return false;
    }
    steps.Ok("the adapter can be opened");

    const auto driver = device->KernelDriverActive(kInterfaceNumber);
    if (driver && *driver)
        steps.Ok("a kernel driver holds interface 0 (a serial driver, as for the vendor's bridge chips); the tool "
                 "detaches it only while it uses the adapter and gives it back after");
    else
        steps.Ok(driver ? "no kernel driver holds interface 0" : "whether a kernel driver holds interface 0 is unknown");

    if (const UsbResult claimed = device->ClaimInterface(kInterfaceNumber); claimed != UsbResult::Ok) {
        if (claimed == UsbResult::Busy)
            steps.Fail("interface 0 is in use by another program" +
                           HoldersInParentheses(facts, adapters.front().bus, adapters.front().address),
                       CloseHolderAdvice(facts, adapters.front()), kExitBusy);
        else
            steps.Fail("interface 0 cannot be claimed", "Unplug the adapter, plug it in again and retry.",
                       kExitNoAdapter);
        return false;
    }
    device->ReleaseInterface(kInterfaceNumber);
    steps.Ok("interface 0 can be claimed");
    return true;
}

// The bridge's steps: a session, the identification and the probe, as
// every command brings the link up.
void CheckSession(UsbBridge& bridge, LinkClock& clock, const SystemFacts& facts, Diagnosis& diagnosis, Steps& steps)
{
    TComm comm(bridge, clock);
    const Connection link = Connect(comm, true);
    const std::string why = std::string(DescribeLinkFailure(link.failure));
    const std::string attempts = std::to_string(kAttempts) + " attempts";
    diagnosis.identification = link.identification;
    switch (link.stage) {
    case LinkStage::NoSession:
        if (link.failure == LinkFailure::Busy && diagnosis.device)
            steps.Fail("the adapter is in use by another program" +
                           HoldersInParentheses(facts, diagnosis.device->bus, diagnosis.device->address),
                       CloseHolderAdvice(facts, *diagnosis.device), kExitBusy);
        else if (link.failure == LinkFailure::Busy)
            steps.Fail("the adapter is in use by another program", "Close that program and retry.", kExitBusy);
        else
            steps.Fail("no adapter session can be opened: " + why, "Unplug the adapter, plug it in again and retry.",
                       kExitNoAdapter);
        return;
    case LinkStage::NoAnswer:
        steps.Fail("the adapter does not answer its identification (" + attempts + ", twice): " + why,
                   "Unplug the adapter and plug it in again; if it stays silent, it is not a servo adapter.",
                   kExitWrongAdapter);
        return;
    case LinkStage::NotOurs: {
        char byte[8];
        std::snprintf(byte, sizeof byte, "%02X", (*link.identification)[protocol::kIdentificationKeyIndex]);
        steps.Fail("the device identifies as another kind (byte 21 is " + std::string(byte) +
                       ", not A0; identification " + HexBytes(*link.identification) + ")",
                   "This USBXpress device is not a servo adapter; attach the servo's own adapter.", kExitWrongAdapter);
        return;
    }
    case LinkStage::Identified:
        steps.Ok("the adapter identifies itself as a servo adapter (byte 21 is A0)");
        steps.Fail("no servo answers the probe (" + attempts + "): " + why,
                   "Plug the servo into the adapter (check the connector's orientation) and power it.", kExitNoServo);
        return;
    case LinkStage::ServoAnswers:
        steps.Ok("the adapter identifies itself as a servo adapter (byte 21 is A0)");
        steps.Ok("a servo answers the probe");
        return;
    }
}

}  // namespace

Diagnosis RunDoctor(UsbHost* usb, UsbBridge& bridge, const std::optional<DoctorStep>& library, LinkClock& clock,
                    const SystemFacts& facts)
{
    Diagnosis diagnosis;
    Steps steps(diagnosis);
    if (library) {
        if (!library->ok) {
            steps.Fail(library->what, library->advice, kExitNoAdapter);
            return diagnosis;
        }
        steps.Ok(library->what);
    } else if (!usb) {
        steps.Ok("simulated adapter (--demo): the USB library's steps are skipped");
    }
    if (usb) {
        if (const std::optional<DoctorStep> sandbox = SandboxFinding(facts)) {
            steps.Fail(sandbox->what, sandbox->advice, kExitNoAdapter);
            return diagnosis;
        }
        if (!CheckUsb(*usb, facts, diagnosis, steps))
            return diagnosis;
    }
    CheckSession(bridge, clock, facts, diagnosis, steps);
    return diagnosis;
}

std::string DescribeDiagnosis(const Diagnosis& diagnosis)
{
    std::string text;
    for (const DoctorStep& step : diagnosis.steps) {
        text += (step.warning ? "[warn] " : step.ok ? "[ok]   " : "[fail] ") + step.what + "\n";
        if (!step.ok || step.warning)
            text += "       " + step.advice + "\n";
    }
    return text;
}

}  // namespace rvz::cli
