// SPDX-License-Identifier: GPL-3.0-or-later
#include "Doctor.h"

#include <algorithm>
#include <cstdio>

#include "AdapterIds.h"
#include "ExitCodes.h"
#include "LinkAdvice.h"
#include "ServoOperations.h"
#include "SystemFacts.h"
#include "UsbAdapters.h"

namespace rvz::cli {

namespace {

constexpr int kInterfaceNumber = 0;

std::string Where(const UsbDeviceInfo& device)
{
    char text[32];
    std::snprintf(text, sizeof text, "bus %03u address %03u", device.bus, device.address);
    return text + std::string(" (") + UsbIdText(device) + ")";
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
        steps.Fail("no device with the adapter's USB IDs (" + AdapterUsbIdsText() + ") is attached",
                   NoAdapterAdvice(facts), kExitNoAdapter);
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
                       MayNotOpenAdvice(facts, adapters.front()), kExitNoAdapter);
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
    diagnosis.identification = link.identification;
    if (link.Identified())
        steps.Ok("the adapter identifies itself as a servo adapter (byte 21 is A0)");
    const std::optional<LinkAdvice> advice =
        AdviseOnLink(link, true, AdviceFor::Doctor, facts, [&] { return diagnosis.device; });
    if (advice)
        steps.Fail(advice->finding, advice->advice, advice->code);
    else
        steps.Ok("a servo answers the probe");
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
