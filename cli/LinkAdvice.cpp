// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkAdvice.h"

#include <cstdio>

#include "Attempts.h"
#include "ExitCodes.h"
#include "RunContext.h"
#include "TracingBridge.h"

namespace rvz::cli {

namespace {

std::string HexByte(std::uint8_t byte)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(byte));
    return text;
}

// The device's identification, which says what kind of device it is.
std::string OtherKind(const Connection& link, AdviceFor reader)
{
    if (!link.identification)
        return reader == AdviceFor::Doctor ? "the device identifies as another kind"
                                           : "the attached device is not a servo adapter";
    const std::string bytes = HexBytes(*link.identification);
    if (reader == AdviceFor::Command)
        return "the attached device is not a servo adapter (identification " + bytes + ")";
    return "the device identifies as another kind (byte " + std::to_string(protocol::kIdentificationKeyIndex) + " is " +
           HexByte((*link.identification)[protocol::kIdentificationKeyIndex]) + ", not " +
           HexByte(protocol::kIdentificationKey) + "; identification " + bytes + ")";
}

LinkAdvice Busy(AdviceFor reader, const SystemFacts& facts, const AdapterOnTheBus& adapter)
{
    const std::optional<UsbDeviceInfo> device = adapter ? adapter() : std::nullopt;
    const std::string holders = device ? HoldersInParentheses(facts, device->bus, device->address) : "";
    std::string advice;
    if (reader == AdviceFor::Command)
        advice = "close it, or wait until it ends, and retry";
    else
        advice = device ? CloseHolderAdvice(facts, *device) : "Close that program and retry.";
    return {kExitBusy, std::string(DescribeLinkFailure(LinkFailure::Busy)) + holders, advice};
}

}  // namespace

std::optional<LinkAdvice> AdviseOnLink(const Connection& link, bool servo, AdviceFor reader, const SystemFacts& facts,
                                       const AdapterOnTheBus& adapter)
{
    const bool doctor = reader == AdviceFor::Doctor;
    const std::string why(DescribeLinkFailure(link.failure));
    const std::string attempts = std::to_string(kAttempts) + " attempts";
    // Nothing more was sent; the exit code becomes the signal's (see
    // RunContext::Finish).
    if (link.failure == LinkFailure::Interrupted)
        return LinkAdvice{kExitFailed, why, {}};
    switch (link.stage) {
    case LinkStage::NoSession:
        if (link.failure == LinkFailure::Busy)
            return Busy(reader, facts, adapter);
        if (doctor)
            return LinkAdvice{kExitNoAdapter, "no adapter session can be opened: " + why,
                              "Unplug the adapter, plug it in again and retry."};
        return LinkAdvice{kExitNoAdapter, why, "run '" + std::string(kProgram) + " doctor' to see why"};
    case LinkStage::NoAnswer:
        if (doctor)
            return LinkAdvice{kExitWrongAdapter,
                              "the adapter does not answer its identification (" + attempts + ", twice): " + why,
                              "Unplug the adapter and plug it in again; if it stays silent, it is not a servo adapter."};
        return LinkAdvice{kExitWrongAdapter, "the adapter does not answer its identification (" + why + ")",
                          "plug it in again and retry"};
    case LinkStage::NotOurs:
        return LinkAdvice{kExitWrongAdapter, OtherKind(link, reader),
                          doctor ? "This USBXpress device is not a servo adapter; attach the servo's own adapter."
                                 : "attach the servo's adapter"};
    case LinkStage::Identified:
        if (!servo)
            return std::nullopt;
        if (doctor)
            return LinkAdvice{kExitNoServo, "no servo answers the probe (" + attempts + "): " + why,
                              "Plug the servo into the adapter (check the connector's orientation) and power it."};
        return LinkAdvice{kExitNoServo, "no servo answers after " + attempts + " (" + why + ")",
                          "plug the servo into the adapter, check its connector and power"};
    case LinkStage::ServoAnswers:
        return std::nullopt;
    }
    return std::nullopt;
}

std::string OneLine(const LinkAdvice& advice)
{
    return advice.advice.empty() ? advice.finding : advice.finding + ": " + advice.advice;
}

// Another servo tool of ours may be writing to the servo, so it is never to
// be ended from here; any other holder may be, by the one command where its
// PID is known.
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

}  // namespace rvz::cli
