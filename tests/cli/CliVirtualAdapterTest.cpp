// SPDX-License-Identifier: GPL-3.0-or-later
// The command line through the real libusb against the virtual adapter:
// the doctor's diagnosis for every failing step that needs no hardware, and
// one read as a person would run it.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "AdapterUsbBridge.h"
#include "Cli.h"
#include "ExitCodes.h"
#include "FakeSystemFacts.h"
#include "LibusbHost.h"
#include "TempDir.h"
#include "VirtualAdapter.h"

namespace rvz::cli {
namespace {

using test::VirtualAdapter;
using test::VirtualUsbBus;

class UsbServices final : public CliServices {
public:
    LibusbHost usb;
    AdapterUsbBridge bridge{usb};
    UsbBridge& Bridge(bool) override { return bridge; }
    UsbHost* Usb(bool) override { return &usb; }
    void Pause(std::chrono::milliseconds) override {}
    int StopSignal() override { return 0; }
    std::string Now() override { return "now"; }
    rvz::test::TempDir temp{"rvz-cli-usb-"};
    std::filesystem::path HistoryFile(bool) override { return temp.path() / "history.jsonl"; }
    const SystemFacts* facts = nullptr;
    const SystemFacts& Facts() override { return facts ? *facts : HostFacts(); }
};

struct DoctorCase {
    const char* name;
    std::function<void(VirtualUsbBus&)> arrange;
    int exitCode;
    const char* lastStep;  // the last line's opening, "[ok]" when all passed
    const char* says;
};

class DoctorTest : public ::testing::TestWithParam<DoctorCase> {};

TEST_P(DoctorTest, NamesTheFirstFailingStep)
{
    RVZ_REQUIRE_VIRTUAL_ADAPTER();
    VirtualUsbBus bus;
    GetParam().arrange(bus);
    UsbServices services;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCli({"doctor"}, services, out, err), GetParam().exitCode) << out.str();
    EXPECT_NE(out.str().find(GetParam().says), std::string::npos) << out.str();
    const std::string text = out.str();
    const auto lastStep = text.rfind("\n[");
    EXPECT_EQ(text.substr(lastStep + 1, std::string(GetParam().lastStep).size()), GetParam().lastStep) << text;
}

INSTANTIATE_TEST_SUITE_P(Cli, DoctorTest,
    ::testing::Values(
        DoctorCase{"AllWell", [](VirtualUsbBus& bus) { bus.Plug(2); }, kExitOk, "[ok]   a servo answers",
                   "bus 001 address 002 (10c4:ea61)"},
        DoctorCase{"NoAdapter", [](VirtualUsbBus&) {}, kExitNoAdapter, "[fail] no device", "lsusb -d 10c4:"},
        DoctorCase{"KernelDriverBound", [](VirtualUsbBus& bus) { bus.Plug(2).SetBehaviour({.kernelDriverBound = true}); },
                   kExitOk, "[ok]   a servo answers", "[ok]   a kernel driver holds interface 0"},
        DoctorCase{"InterfaceHeld", [](VirtualUsbBus& bus) { bus.Plug(2).SetBehaviour({.interfaceBusy = true}); },
                   kExitBusy, "[fail] interface 0 is in use by another program", "Close that program"},
        DoctorCase{"OtherKind",
                   [](VirtualUsbBus& bus) {
                       bus.Plug(2).WithServo([](SimulatedAdapter& servo) {
                           servo.SetIdentification({});
                           return 0;
                       });
                   },
                   kExitWrongAdapter, "[fail] the device identifies as another kind", "byte 21 is 00"},
        DoctorCase{"NoServo",
                   [](VirtualUsbBus& bus) {
                       bus.Plug(2).WithServo([](SimulatedAdapter& servo) {
                           servo.SetServoSilent(true);
                           return 0;
                       });
                   },
                   kExitNoServo, "[fail] no servo answers the probe", "Plug the servo into the adapter"}),
    [](const auto& row) { return std::string(row.param.name); });

// What else reaches for the adapter comes as a warning with its fix, and
// the busy adapter's holder is named with the command that ends it.
TEST(CliThroughUsbTest, TheDoctorNamesWhatReachesForTheAdapter)
{
    RVZ_REQUIRE_VIRTUAL_ADAPTER();
    VirtualUsbBus bus;
    bus.Plug(2).SetBehaviour({.interfaceBusy = true});
    rvz::test::FakeSystemFacts facts;
    facts.running = {"ModemManager"};
    facts.udevProperties.clear();
    facts.holders = {"servo-tool (PID 4242)"};
    UsbServices services;
    services.facts = &facts;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCli({"doctor"}, services, out, err), kExitBusy);
    const std::string text = out.str();
    EXPECT_NE(text.find("[warn] ModemManager runs"), std::string::npos) << text;
    EXPECT_NE(text.find("[fail] interface 0 is in use by another program (servo-tool (PID 4242))\n"
                        "       Close that program (other servo tools, or another rivivev-uvezi) and retry; or, if it "
                        "hangs, end it: kill 4242\n"),
              std::string::npos)
        << text;
}

TEST(CliThroughUsbTest, ReadsTheServo)
{
    RVZ_REQUIRE_VIRTUAL_ADAPTER();
    VirtualUsbBus bus;
    bus.Plug(2);
    UsbServices services;
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunCli({"read"}, services, out, err), kExitOk) << err.str();
    EXPECT_NE(out.str().find("registers    01=23 06=01 07=4E 08=9C 09=80 0A=0D"), std::string::npos) << out.str();
}

// A write without a file starts from what the servo holds: only the named
// setting changes on a servo that holds values of its own.
TEST(CliThroughUsbTest, WriteChangesOnlyTheNamedSetting)
{
    RVZ_REQUIRE_VIRTUAL_ADAPTER();
    VirtualUsbBus bus;
    VirtualAdapter& adapter = bus.Plug(2);
    auto held = SimulatedAdapter::kFactoryRegisters;
    held[1] = 0x28;  // dead band 2 us
    held[6] = 0x00;  // lock N
    held[8] = 0xA4;  // upper 2099 us
    adapter.WithServo([&](SimulatedAdapter& servo) {
        servo.SetServoRegisters(held);
        return 0;
    });
    UsbServices services;
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunCli({"write", "--set", "neutral=1520", "--verify"}, services, out, err), kExitOk) << err.str();
    const auto now = adapter.WithServo([](SimulatedAdapter& servo) { return servo.ServoRegisters(); });
    held[9] = 0x00;  // neutral 1520 us: code 3584
    held[10] = 0x0E;
    EXPECT_EQ(now, held);
}

// Another program holds the adapter: busy, never "no adapter"; and one that
// let go without releasing it (killed) leaves it usable.
TEST(CliThroughUsbTest, AnAdapterHeldElsewhereIsBusyUntilItIsLetGo)
{
    RVZ_REQUIRE_VIRTUAL_ADAPTER();
    VirtualUsbBus bus;
    VirtualAdapter& adapter = bus.Plug(2);
    LibusbHost otherProgram;
    ASSERT_TRUE(otherProgram.Start());
    auto held = otherProgram.Open(AttachedAdapters(otherProgram).at(0));
    ASSERT_TRUE(held);
    ASSERT_EQ(held->ClaimInterface(0), UsbResult::Ok);

    UsbServices services;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCli({"read"}, services, out, err), kExitBusy);
    EXPECT_NE(err.str().find("the adapter is in use by another program"), std::string::npos) << err.str();
    EXPECT_EQ(RunCli({"detect"}, services, out, err), kExitBusy);

    held.reset();  // closed without a release, as by a program that was killed
    EXPECT_EQ(adapter.ClaimedInterfaces(), 1);
    err.str("");
    EXPECT_EQ(RunCli({"read"}, services, out, err), kExitOk) << err.str();
}

}  // namespace
}  // namespace rvz::cli
