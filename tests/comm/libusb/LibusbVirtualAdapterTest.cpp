// SPDX-License-Identifier: GPL-3.0-or-later
// The USB layer through the real libusb and the kernel's usbfs interface,
// against a virtual adapter: every case runs the session and the protocol
// as the window does, and every failure must end in a clean false.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "AdapterUsbBridge.h"
#include "Comm.h"
#include "LateReplySweep.h"
#include "LibusbHost.h"
#include "Settings.h"
#include "VirtualAdapter.h"

namespace rvz {
namespace {

using test::VirtualAdapter;
using test::VirtualAdapterBehaviour;
using test::VirtualUsbBus;
using namespace std::chrono_literals;

using Registers = SimulatedAdapter::Registers;

// Waits, within a bound, for what the system announces on its own thread.
bool Eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 300; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

class VirtualAdapterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RVZ_REQUIRE_VIRTUAL_ADAPTER();
        bus = std::make_unique<VirtualUsbBus>();
        adapter = &bus->Plug(2);
    }

    // A session through the real libusb, opened and identified as the poll does.
    void Connect()
    {
        ASSERT_TRUE(comm.OpenAdapter());
        IdentificationBytes id{};
        ASSERT_EQ(IdentifyAdapter(comm, id), AdapterIdentity::Ours);
    }

    bool ReadConfig(Registers& record) { return comm.ReadRegisters(record, ConfigMask, 11); }

    std::unique_ptr<VirtualUsbBus> bus;
    VirtualAdapter* adapter = nullptr;
    LibusbHost usb;
    AdapterUsbBridge bridge{usb};
    TComm comm{bridge};
};

TEST_F(VirtualAdapterTest, DetectsAndIdentifiesTheAdapter)
{
    std::uint32_t count = 0;
    ASSERT_EQ(bridge.GetNumDevices(&count), kBridgeSuccess);
    EXPECT_EQ(count, 1u);
    Connect();
    EXPECT_EQ(adapter->ClaimedInterfaces(), 1);
    const auto controls = adapter->ControlRequests();
    ASSERT_EQ(controls.size(), 2u);
    EXPECT_EQ(controls[0].request, bridge_request::kReset);
    EXPECT_EQ(controls[1].value, bridge_request::kEnable);
    comm.CloseAdapter();
    EXPECT_EQ(adapter->ClaimedInterfaces(), 0);
    EXPECT_EQ(adapter->ControlRequests().back().value, bridge_request::kDisable);
}

TEST_F(VirtualAdapterTest, ReadsWritesAndSendsTheBlock)
{
    Connect();
    Registers record{};
    ASSERT_TRUE(ReadConfig(record));
    const Registers factory = SimulatedAdapter::kFactoryRegisters;
    for (std::size_t i : {1, 6, 7, 8, 9, 10})
        EXPECT_EQ(record[i], factory[i]) << "register " << i;
    adapter->WithServo([](SimulatedAdapter& servo) {
        EXPECT_EQ(servo.ReceivedCommands().back(), (std::vector<std::uint8_t>{0x23, 0x03, 0x09, 0x00}));
        return 0;
    });

    record[7] = 0x55;
    ASSERT_TRUE(comm.WriteRegisters(record, ConfigMask, 11));
    EXPECT_EQ(adapter->WithServo([](SimulatedAdapter& servo) { return servo.ServoRegisters()[7]; }), 0x55);

    std::array<std::uint8_t, 17> block{};
    std::copy(factory.begin(), factory.end(), block.begin());
    block[15] = 0x40;
    ASSERT_TRUE(comm.WriteBlock(block));
    EXPECT_EQ(adapter->WithServo([](SimulatedAdapter& servo) { return servo.ServoRegisters()[15]; }), 0x40);
}

// A read under a fault, then, with the fault gone, a read that must
// succeed and carry each register's own value: a late reply left in the
// device would shift them by one.
struct ReadFault {
    const char* name;
    VirtualAdapterBehaviour behaviour;
    bool firstReadSucceeds;
};

class ReadFaultTest : public VirtualAdapterTest, public ::testing::WithParamInterface<ReadFault> {};

TEST_P(ReadFaultTest, EndsCleanlyAndTheNextReadIsRight)
{
    Connect();
    adapter->SetBehaviour(GetParam().behaviour);
    Registers record{};
    EXPECT_EQ(ReadConfig(record), GetParam().firstReadSucceeds);
    adapter->SetBehaviour({});
    std::this_thread::sleep_for(150ms);  // every late reply has reached the device

    record = {};
    ASSERT_TRUE(ReadConfig(record));
    const Registers factory = SimulatedAdapter::kFactoryRegisters;
    for (std::size_t i : {1, 6, 7, 8, 9, 10})
        EXPECT_EQ(record[i], factory[i]) << "register " << i;
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadFaultTest,
    ::testing::Values(ReadFault{"SplitReplies", {.firstPacketBytes = 1}, true},
                      ReadFault{"LateWithinTheTimeout", {.replyDelay = 20ms}, true},
                      ReadFault{"LateBeyondTheTimeout", {.replyDelay = 80ms}, false},
                      ReadFault{"StalledEndpoint", {.stallIn = true}, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(VirtualAdapterTest, StalledEndpointHasItsHaltCleared)
{
    Connect();
    adapter->SetBehaviour({.stallIn = true});
    Registers record{};
    EXPECT_FALSE(ReadConfig(record));
    EXPECT_GE(adapter->HaltsCleared(), 1);
    EXPECT_TRUE(ReadConfig(record)) << "the cleared endpoint answers again";
}

TEST_F(VirtualAdapterTest, UnplugMidReadFailsThenThePollCloses)
{
    Connect();
    adapter->VanishAtExchange(3);
    Registers record{};
    EXPECT_FALSE(ReadConfig(record));
    EXPECT_FALSE(comm.OpenAdapter()) << "the gone device is noticed before its removal is announced";
    EXPECT_EQ(comm.AdapterHandle(), kNullHandle);
    bus->Unplug(*adapter);
    EXPECT_TRUE(Eventually([&] { return !comm.OpenAdapter(); }));
    EXPECT_FALSE(ReadConfig(record));

    VirtualAdapter& again = bus->Plug(4);
    ASSERT_TRUE(Eventually([&] { return comm.OpenAdapter(); }));
    EXPECT_EQ(again.ClaimedInterfaces(), 1);
    EXPECT_FALSE(ReadConfig(record)) << "whatever was plugged in has not said what it is yet";
    EXPECT_EQ(comm.LastFailure(), LinkFailure::NotIdentified);
    IdentificationBytes id{};
    ASSERT_EQ(IdentifyAdapter(comm, id), AdapterIdentity::Ours);
    EXPECT_TRUE(ReadConfig(record));
}

TEST_F(VirtualAdapterTest, UnplugBetweenPollsClosesTheSession)
{
    Connect();
    bus->Unplug(*adapter);
    EXPECT_TRUE(Eventually([&] { return !comm.OpenAdapter(); }));
    EXPECT_EQ(comm.AdapterHandle(), kNullHandle);
}

TEST_F(VirtualAdapterTest, OpenAdapterUnpluggedBesideAnotherOne)
{
    VirtualAdapter& second = bus->Plug(3);
    Connect();
    VirtualAdapter& open = adapter->ClaimedInterfaces() == 1 ? *adapter : second;
    VirtualAdapter& other = &open == adapter ? second : *adapter;
    bus->Unplug(open);
    // The session must close although an adapter is still attached...
    EXPECT_TRUE(Eventually([&] { return !comm.OpenAdapter(); }));
    // ...and the next poll opens the one that is left.
    ASSERT_TRUE(comm.OpenAdapter());
    EXPECT_EQ(other.ClaimedInterfaces(), 1);
    IdentificationBytes id{};
    EXPECT_EQ(IdentifyAdapter(comm, id), AdapterIdentity::Ours);
    Registers record{};
    EXPECT_TRUE(ReadConfig(record));
}

// A device that never answers control requests: the open gives up, and one
// poll holds the caller for about one adapter time-out. The bound here is
// generous (the old control time-outs alone took 500 ms); the benchmark
// measures it.
TEST_F(VirtualAdapterTest, DeviceIgnoringControlRequestsIsGivenUpQuickly)
{
    adapter->SetBehaviour({.ignoreControl = true});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(comm.OpenAdapter());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 400ms);
    EXPECT_GE(adapter->Discarded(), 1);
    EXPECT_EQ(adapter->ClaimedInterfaces(), 0) << "the interface is released again";
}

// Late replies through the real libusb, in real time: an operation fails
// or carries exactly what the servo holds.
class LateReplyTest : public VirtualAdapterTest, public ::testing::WithParamInterface<test::LateRow> {};

TEST_P(LateReplyTest, FailsOrCarriesTheServosValues)
{
    adapter->WithServo([](SimulatedAdapter& servo) {
        servo.SetServoRegisters(test::kDistinctRegisters);
        return 0;
    });
    Connect();
    adapter->SetBehaviour({.replyDelay = GetParam().delay, .replyJitter = GetParam().jitter});
    const auto servo = [&] { return adapter->WithServo([](SimulatedAdapter& s) { return s.ServoRegisters(); }); };
    const auto identification = adapter->WithServo([](SimulatedAdapter& s) { return s.AdapterIdentification(); });
    for (int round = 0; round < 2; ++round) {
        const auto judgement = test::RunAndJudge(GetParam().operation, comm, servo, identification);
        EXPECT_EQ(judgement.wrong, "") << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Sweep, LateReplyTest,
                         ::testing::ValuesIn(test::SweepRows({0, 40, 60, 90, 130, 180, 250}, {{20, 150}})),
                         test::RowName);

// The serial driver that Linux binds to the vendor's bridge chips is
// detached only to claim the interface, and gets it back on release; a
// device that turns out not to be ours is released at once and not
// opened again while it stays attached.
struct DriverRow {
    const char* name;
    std::uint8_t identificationKey;
    bool heldAfterIdentification;
};

class KernelDriverTest : public VirtualAdapterTest, public ::testing::WithParamInterface<DriverRow> {};

TEST_P(KernelDriverTest, DetachedOnlyWhileClaimed)
{
    adapter->SetBehaviour({.kernelDriverBound = true});
    adapter->WithServo([](SimulatedAdapter& servo) {
        SimulatedAdapter::Identification id{};
        id[21] = GetParam().identificationKey;
        servo.SetIdentification(id);
        return 0;
    });
    ASSERT_TRUE(comm.OpenAdapter());
    EXPECT_FALSE(adapter->KernelDriverBound());
    EXPECT_EQ(adapter->KernelDriverDetaches(), 1);

    IdentificationBytes id{};
    IdentifyAdapter(comm, id);
    EXPECT_EQ(adapter->ClaimedInterfaces(), GetParam().heldAfterIdentification ? 1 : 0);
    EXPECT_EQ(adapter->KernelDriverBound(), !GetParam().heldAfterIdentification);
    EXPECT_EQ(comm.OpenAdapter(), GetParam().heldAfterIdentification) << "the next poll";
    EXPECT_EQ(adapter->KernelDriverDetaches(), 1);

    comm.CloseAdapter();
    EXPECT_EQ(adapter->ClaimedInterfaces(), 0);
    EXPECT_TRUE(adapter->KernelDriverBound());
    EXPECT_EQ(adapter->KernelDriverAttaches(), 1);
}

INSTANTIATE_TEST_SUITE_P(Identification, KernelDriverTest,
    ::testing::Values(DriverRow{"Ours", 0xA0, true}, DriverRow{"NotOurs", 0x42, false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace rvz
