// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finds out, step by step, why the window would keep its buttons grey: libusb
// starts, an adapter is attached, may be opened, is not held by a kernel
// driver, can be claimed, identifies itself, and a servo answers. Every
// failing step says in one sentence what to do. Nothing is changed.

#include <optional>
#include <string>
#include <vector>

#include "Attempts.h"
#include "LinkClock.h"
#include "SystemFacts.h"
#include "UsbBridge.h"
#include "UsbHost.h"

namespace rvz::cli {

struct DoctorStep {
    std::string what;    // what was found, as a sentence
    bool ok = false;
    std::string advice;  // for a failing step or a warning: what to do
    // Found and worth fixing, but not what keeps the adapter away now.
    bool warning = false;
};

struct Diagnosis {
    std::vector<DoctorStep> steps;
    int exitCode = 0;
    std::optional<UsbDeviceInfo> device;
    std::optional<IdentificationBytes> identification;
};

// usb is the USB library behind bridge, or null where there is none (the
// simulated adapter, or Windows, where the vendor's library stands behind
// the bridge); then only the bridge's own steps run. library, when given,
// is the first step: the library the bridge was bound to, or what of it is
// missing, which ends the diagnosis.
// facts tell what else on the system keeps the adapter from the tool.
Diagnosis RunDoctor(UsbHost* usb, UsbBridge& bridge, const std::optional<DoctorStep>& library = std::nullopt,
                    LinkClock& clock = SteadyLinkClock(), const SystemFacts& facts = HostFacts());

// A sandbox that lets no USB device through: a failing step, with the one
// command that opens it.
std::optional<DoctorStep> SandboxFinding(const SystemFacts& facts);

// What else on the system reaches for the adapter or keeps the user from it:
// ModemManager, brltty, a serial driver's port, a missing group. Each is a
// warning with the one command that fixes it.
std::vector<DoctorStep> AdapterFindings(const SystemFacts& facts, const UsbDeviceInfo& device);

// The advice when no adapter is attached, naming only tools the system has
// (or the package that brings them).
std::string NoAdapterAdvice(const SystemFacts& facts);
// The advice when the user may not open the adapter: the one fix that
// applies to this system and user (install the rule, apply it, join the
// group it grants, log in again).
std::string MayNotOpenAdvice(const SystemFacts& facts, const UsbDeviceInfo& device);

// The steps as lines: "[ok]   ...", "[warn] ..." and "[fail] ...", then the
// advice.
std::string DescribeDiagnosis(const Diagnosis& diagnosis);

}  // namespace rvz::cli
