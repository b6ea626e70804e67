// SPDX-License-Identifier: GPL-3.0-or-later
// What each state of the link means, for the doctor and for a command: one
// row per stage and reason, with the exit code and both sentences in full.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ExitCodes.h"
#include "FakeSystemFacts.h"
#include "LinkAdvice.h"

namespace rvz::cli {
namespace {

using rvz::test::FakeSystemFacts;

const UsbDeviceInfo kAdapter{0x10c4, 0xea61, 1, 2, {}};

// Byte 21 says 55: a USBXpress device of another kind.
IdentificationBytes OtherKind()
{
    IdentificationBytes bytes{};
    bytes[protocol::kIdentificationKeyIndex] = 0x55;
    return bytes;
}
std::string OtherKindHex()
{
    std::string text;
    for (std::size_t i = 0; i < protocol::kIdentificationKeyIndex; ++i)
        text += "00 ";
    return text + "55";
}

struct LinkCase {
    const char* name;
    LinkStage stage;
    LinkFailure failure;
    bool servo;
    AdviceFor reader;
    std::vector<std::string> holders;  // the programs that hold the adapter's node
    bool adapterFound;                 // whether the adapter is seen on the bus
    int code;                          // kExitOk: nothing to advise
    std::string finding;
    std::string advice;
};

class LinkAdviceTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkAdviceTest, GivesTheCodeAndWhatToDo)
{
    const LinkCase& row = GetParam();
    FakeSystemFacts facts;
    facts.holders = row.holders;
    Connection link{row.stage, row.failure, std::nullopt};
    if (row.stage != LinkStage::NoSession)
        link.identification = row.stage == LinkStage::NotOurs ? OtherKind() : IdentificationBytes{};
    int lookedForAdapter = 0;
    const std::optional<LinkAdvice> advice =
        AdviseOnLink(link, row.servo, row.reader, facts, [&]() -> std::optional<UsbDeviceInfo> {
            ++lookedForAdapter;
            return row.adapterFound ? std::optional(kAdapter) : std::nullopt;
        });
    // The bus is looked at only to name a busy adapter's holder.
    EXPECT_EQ(lookedForAdapter, advice && advice->code == kExitBusy ? 1 : 0);
    if (row.code == kExitOk) {
        EXPECT_FALSE(advice) << advice->finding;
        return;
    }
    ASSERT_TRUE(advice);
    EXPECT_EQ(advice->code, row.code);
    EXPECT_EQ(advice->finding, row.finding);
    EXPECT_EQ(advice->advice, row.advice);
}

constexpr auto kDoctor = AdviceFor::Doctor;
constexpr auto kCommand = AdviceFor::Command;
const std::vector<std::string> kNoHolder;
const std::vector<std::string> kOtherTool{"servo-tool (PID 4242)"};
const std::vector<std::string> kOurTool{"rivivev-uvezi-cli (PID 7)"};
const std::string kNoReply = "no reply came back in time";
const std::string kBusy = "the adapter is in use by another program";
const std::string kStopped = "stopped (Ctrl+C, or another signal) before the next command went out";

INSTANTIATE_TEST_SUITE_P(Cli, LinkAdviceTest,
    ::testing::Values(
        LinkCase{"NoAdapterCommand", LinkStage::NoSession, LinkFailure::NoAdapter, true, kCommand, kNoHolder, false,
                 kExitNoAdapter, "no adapter is attached", "run 'rivivev-uvezi-cli doctor' to see why"},
        LinkCase{"NoAdapterDoctor", LinkStage::NoSession, LinkFailure::NoAdapter, true, kDoctor, kNoHolder, false,
                 kExitNoAdapter, "no adapter session can be opened: no adapter is attached",
                 "Unplug the adapter, plug it in again and retry."},
        LinkCase{"NoPermissionCommand", LinkStage::NoSession, LinkFailure::NoPermission, false, kCommand, kNoHolder,
                 true, kExitNoAdapter, "you may not open the adapter (no udev rule gives it to you here)",
                 "run 'rivivev-uvezi-cli doctor' to see why"},
        LinkCase{"LibraryMissingDoctor", LinkStage::NoSession, LinkFailure::LibraryMissing, true, kDoctor, kNoHolder,
                 false, kExitNoAdapter,
                 "no adapter session can be opened: the adapter's USB library (SIUSBXP.DLL) is missing or incomplete",
                 "Unplug the adapter, plug it in again and retry."},
        LinkCase{"BusyCommand", LinkStage::NoSession, LinkFailure::Busy, true, kCommand, kOtherTool, true, kExitBusy,
                 kBusy + " (servo-tool (PID 4242))", "close it, or wait until it ends, and retry"},
        LinkCase{"BusyCommandHolderUnknown", LinkStage::NoSession, LinkFailure::Busy, false, kCommand, kNoHolder, true,
                 kExitBusy, kBusy, "close it, or wait until it ends, and retry"},
        LinkCase{"BusyCommandNotOnTheBus", LinkStage::NoSession, LinkFailure::Busy, true, kCommand, kOtherTool, false,
                 kExitBusy, kBusy, "close it, or wait until it ends, and retry"},
        LinkCase{"BusyDoctor", LinkStage::NoSession, LinkFailure::Busy, true, kDoctor, kOtherTool, true, kExitBusy,
                 kBusy + " (servo-tool (PID 4242))",
                 "Close that program (other servo tools, or another rivivev-uvezi) and retry; or, if it hangs, end "
                 "it: kill 4242"},
        LinkCase{"BusyDoctorOurOwnTool", LinkStage::NoSession, LinkFailure::Busy, true, kDoctor, kOurTool, true,
                 kExitBusy, kBusy + " (rivivev-uvezi-cli (PID 7))",
                 "Let rivivev-uvezi-cli (PID 7) finish, or close it from its own window or terminal, and retry: it "
                 "may be writing to the servo, so do not end it from outside."},
        LinkCase{"BusyDoctorHolderUnknown", LinkStage::NoSession, LinkFailure::Busy, true, kDoctor, kNoHolder, true,
                 kExitBusy, kBusy, "Close that program (other servo tools, or another rivivev-uvezi) and retry."},
        LinkCase{"BusyDoctorNotOnTheBus", LinkStage::NoSession, LinkFailure::Busy, true, kDoctor, kOtherTool, false,
                 kExitBusy, kBusy, "Close that program and retry."},
        LinkCase{"SilentAdapterCommand", LinkStage::NoAnswer, LinkFailure::NoReply, true, kCommand, kNoHolder, true,
                 kExitWrongAdapter, "the adapter does not answer its identification (" + kNoReply + ")",
                 "plug it in again and retry"},
        LinkCase{"SilentAdapterWithoutServoCommand", LinkStage::NoAnswer, LinkFailure::MalformedReply, false,
                 kCommand, kNoHolder, true, kExitWrongAdapter,
                 "the adapter does not answer its identification (the servo's reply came cut off or garbled)",
                 "plug it in again and retry"},
        LinkCase{"SilentAdapterDoctor", LinkStage::NoAnswer, LinkFailure::NoReply, true, kDoctor, kNoHolder, true,
                 kExitWrongAdapter, "the adapter does not answer its identification (3 attempts, twice): " + kNoReply,
                 "Unplug the adapter and plug it in again; if it stays silent, it is not a servo adapter."},
        LinkCase{"OtherKindCommand", LinkStage::NotOurs, LinkFailure::NotOurs, false, kCommand, kNoHolder, true,
                 kExitWrongAdapter, "the attached device is not a servo adapter (identification " + OtherKindHex() + ")",
                 "attach the servo's adapter"},
        LinkCase{"OtherKindDoctor", LinkStage::NotOurs, LinkFailure::NotOurs, true, kDoctor, kNoHolder, true,
                 kExitWrongAdapter,
                 "the device identifies as another kind (byte 21 is 55, not A0; identification " + OtherKindHex() + ")",
                 "This USBXpress device is not a servo adapter; attach the servo's own adapter."},
        LinkCase{"NoServoCommand", LinkStage::Identified, LinkFailure::NoReply, true, kCommand, kNoHolder, true,
                 kExitNoServo, "no servo answers after 3 attempts (" + kNoReply + ")",
                 "plug the servo into the adapter, check its connector and power"},
        LinkCase{"NoServoDoctor", LinkStage::Identified, LinkFailure::NoReply, true, kDoctor, kNoHolder, true,
                 kExitNoServo, "no servo answers the probe (3 attempts): " + kNoReply,
                 "Plug the servo into the adapter (check the connector's orientation) and power it."},
        LinkCase{"AdapterEnoughCommand", LinkStage::Identified, LinkFailure::None, false, kCommand, kNoHolder, true,
                 kExitOk, "", ""},
        LinkCase{"ServoAnswersCommand", LinkStage::ServoAnswers, LinkFailure::None, true, kCommand, kNoHolder, true,
                 kExitOk, "", ""},
        LinkCase{"ServoAnswersDoctor", LinkStage::ServoAnswers, LinkFailure::None, true, kDoctor, kNoHolder, true,
                 kExitOk, "", ""},
        // Stopped by a signal: the exit code becomes the signal's later.
        LinkCase{"StoppedBeforeTheSession", LinkStage::NoSession, LinkFailure::Interrupted, true, kCommand, kNoHolder,
                 true, kExitFailed, kStopped, ""},
        LinkCase{"StoppedBeforeTheProbe", LinkStage::Identified, LinkFailure::Interrupted, true, kCommand, kNoHolder,
                 true, kExitFailed, kStopped, ""},
        LinkCase{"StoppedBeforeTheIdentification", LinkStage::NoAnswer, LinkFailure::Interrupted, false, kCommand,
                 kNoHolder, true, kExitFailed, kStopped, ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LinkAdviceTest, ACommandSaysItInOneLine)
{
    EXPECT_EQ(OneLine({kExitNoServo, "no servo answers", "plug it in"}), "no servo answers: plug it in");
    EXPECT_EQ(OneLine({kExitFailed, kStopped, ""}), kStopped);
}

}  // namespace
}  // namespace rvz::cli
