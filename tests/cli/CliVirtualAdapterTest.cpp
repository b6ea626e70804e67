// SPDX-License-Identifier: GPL-3.0-or-later
// The command line through the real libusb against the virtual adapter:
// the doctor's diagnosis for every failing step that needs no hardware, and
// one read as a person would run it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "AdapterUsbBridge.h"
#include "Cli.h"
#include "ExitCodes.h"
#include "FakeSystemFacts.h"
#include "History.h"
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
    std::function<void()> onPause;  // what happens while a batch waits
    int pauses = 0;
    void Pause(std::chrono::milliseconds) override
    {
        ++pauses;
        if (onPause)
            onPause();
    }
    // A batch that never ends is stopped as by Ctrl+C.
    int StopSignal() override { return pauses > 50 ? 2 : 0; }
    std::string Now() override { return "now"; }
    rvz::test::TempDir temp{"rvz-cli-usb-"};
    std::filesystem::path HistoryFile(bool) override { return temp.path() / "history.jsonl"; }
    const SystemFacts* facts = nullptr;
    const SystemFacts& Facts() override { return facts ? *facts : HostFacts(); }
};

// Another program, under the name given, that holds a file open until it
// is ended (it ends with this process too): the adapter's node, or a file
// of the same name elsewhere, as another test bed's program holds its own.
class OtherProgram {
public:
    OtherProgram(const char* name, const std::filesystem::path& file)
    {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        // Nothing else of this process: an adapter it has open stays its own.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        std::string script = "exec 3<\"$0\" && echo held && read line";
        std::string path = file.string();
        std::string program = name;
        char* argv[] = {program.data(), const_cast<char*>("-c"), script.data(), path.data(), nullptr};
        char* environment[] = {nullptr};  // not under the test bed's preload: the file is opened as named
        if (posix_spawn(&m_pid, "/bin/sh", &actions, nullptr, argv, environment) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        m_input = input[1];
        char said[5] = {};
        m_holds = m_pid > 0 && ::read(output[0], said, 4) == 4 && std::string(said) == "held";
        ::close(output[0]);
    }
    ~OtherProgram()
    {
        ::close(m_input);  // its read ends, and so does it
        int status = 0;
        if (m_pid > 0)
            ::waitpid(m_pid, &status, 0);
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    bool Holds() const { return m_holds; }
    std::string Pid() const { return std::to_string(m_pid); }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    bool m_holds = false;
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
    // A program under the command line's name holds a node of the same name
    // in another test bed all along: it has nothing to do with this adapter.
    rvz::test::TempDir otherBed("rvz-other-bed-");
    std::filesystem::create_directories(otherBed.path() / "dev/bus/usb/001");
    std::ofstream(otherBed.path() / "dev/bus/usb/001/002").close();
    const OtherProgram other("rivivev-uvezi-cli", otherBed.path() / "dev/bus/usb/001/002");
    ASSERT_TRUE(other.Holds());
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
                   kExitBusy, "[fail] interface 0 is in use by another program",
                   "[fail] interface 0 is in use by another program\n       Close that program (other servo tools, or "
                   "another rivivev-uvezi) and retry.\n"},
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

// Through libusb, adapters are numbered by port, and a port path chooses
// one however the others come and go, and again once it is put back in
// its port; the history names it by its port.
TEST(CliThroughUsbTest, AnAdapterIsChosenByItsPortPath)
{
    RVZ_REQUIRE_VIRTUAL_ADAPTER();
    VirtualUsbBus bus;
    VirtualAdapter& third = bus.Plug(test::UsbPort{3});
    VirtualAdapter& first = bus.Plug(test::UsbPort{1});
    UsbServices services;
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunCli({"detect", "--json"}, services, out, err), kExitOk) << err.str();
    const nlohmann::json found = nlohmann::json::parse(out.str());
    ASSERT_EQ(found["adapters"].size(), 2u) << out.str();
    EXPECT_EQ(found["adapters"][0]["port"], "1-1");
    EXPECT_EQ(found["adapters"][1]["port"], "1-3");
    bus.Unplug(first);
    ASSERT_EQ(RunCli({"--adapter", "1-3", "write", "--set", "neutral=1520"}, services, out, err), kExitOk) << err.str();
    EXPECT_EQ(third.WithServo([](SimulatedAdapter& servo) { return servo.ServoRegisters()[9]; }), 0x00);
    EXPECT_EQ(RunCli({"--adapter", "1-1", "read"}, services, out, err), kExitNoAdapter);
    // Put back in the same port, with a new address, it answers to the same name.
    const VirtualAdapter& again = bus.Plug(test::UsbPort{1});
    EXPECT_NE(again.Address(), first.Address());
    EXPECT_EQ(RunCli({"--adapter", "1-1", "read"}, services, out, err), kExitOk) << err.str();
    std::vector<HistoryEntry> entries;
    int skipped = 0;
    ASSERT_FALSE(ReadHistory(services.temp.path() / "history.jsonl", entries, skipped));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].adapter, "1-3");
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

// A batch that finds the adapter held waits for it as for one not yet
// plugged in: it says once, whatever the polls, that it is busy and who has
// its node open, and programs the servo once it is free.
TEST(CliThroughUsbTest, ABatchWaitsForAnAdapterHeldElsewhere)
{
    RVZ_REQUIRE_VIRTUAL_ADAPTER();
    VirtualUsbBus bus;
    bus.Plug(2);
    LibusbHost otherProgram;
    ASSERT_TRUE(otherProgram.Start());
    auto held = otherProgram.Open(AttachedAdapters(otherProgram).at(0));
    ASSERT_TRUE(held);
    ASSERT_EQ(held->ClaimInterface(0), UsbResult::Ok);
    const OtherProgram holder("servo-tool", bus.RootDir() + "/dev/bus/usb/001/002");
    ASSERT_TRUE(holder.Holds());

    UsbServices services;
    services.onPause = [&] {
        if (services.pauses == 3)
            held.reset();
    };
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCli({"batch", "--set", "upper=2000", "--count", "1"}, services, out, err), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "servo 1: written\ndone: 1, failed: 0\n");
    EXPECT_EQ(err.str(), "waiting for servo 1: plug it in with its adapter (Ctrl+C ends the batch)\n"
                         "the adapter is in use by another program (servo-tool (PID " + holder.Pid() +
                             ")): close it, or wait until it ends; the batch goes on once it is free\n");
}

}  // namespace
}  // namespace rvz::cli
