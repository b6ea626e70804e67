// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a link that came up short means for the user, decided in one place
// for the doctor and the commands, so that they never part on an exit code:
// the code, what was found and what to do. Each says it in its own voice,
// the doctor as a failing step and a sentence of advice, a command as one
// line on standard error.

#include <functional>
#include <optional>
#include <string>

#include "ServoOperations.h"
#include "SystemFacts.h"
#include "UsbHost.h"

namespace rvz::cli {

enum class AdviceFor { Doctor, Command };

struct LinkAdvice {
    int code = 0;
    std::string finding;  // what keeps the link down
    std::string advice;   // what to do; empty where nothing is to be done
};

// The adapter on the system, to name the program that holds it. Asked for
// only when the link finds it busy, since it takes a look at the USB bus.
using AdapterOnTheBus = std::function<std::optional<UsbDeviceInfo>()>;

// Nothing when the link came up as far as needed (servo: the probe too).
std::optional<LinkAdvice> AdviseOnLink(const Connection& link, bool servo, AdviceFor reader, const SystemFacts& facts,
                                       const AdapterOnTheBus& adapter);

// A command's line: "finding: advice".
std::string OneLine(const LinkAdvice& advice);

// Who to close for a busy adapter, and how, as the doctor advises it.
std::string CloseHolderAdvice(const SystemFacts& facts, const UsbDeviceInfo& device);

}  // namespace rvz::cli
