// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux USB layer over a fake USB device, and once over real libusb.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "AdapterUsbBridge.h"
#include "Comm.h"
#include "LibusbHost.h"

namespace rvz {
namespace {

using Bytes = std::vector<std::uint8_t>;

// What the fake device saw, in order: "claim 0", "control 40 00 ffff 0", ...
struct UsbLog {
    std::vector<std::string> calls;
    std::vector<Bytes> bulkOut;
};

struct FakeDevice {
    UsbDeviceInfo info{0x10C4, 0x0002, 1, 5, {}};
    std::vector<UsbEndpointDescriptor> endpoints{{0x81, 0x02}, {0x02, 0x02}};
    bool unplugged = false;
    UsbResult claim = UsbResult::Ok;
    std::deque<UsbTransferResult> outResults;  // default: every byte goes out
    std::deque<std::pair<UsbResult, Bytes>> inPackets;  // default: time-out, nothing
    std::vector<unsigned> inTimeouts;
    // Replies the device sends once a command has gone out, one per write.
    std::deque<Bytes> repliesToWrites;
};

std::string Hex(unsigned value, int width)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*x", width, value);
    return buffer;
}

class FakeHandle final : public UsbDeviceHandle {
public:
    FakeHandle(FakeDevice& device, UsbLog& log) : m_device(device), m_log(log) {}
    ~FakeHandle() override { m_log.calls.push_back("close"); }

    std::vector<UsbEndpointDescriptor> InterfaceEndpoints(int) override { return m_device.endpoints; }
    UsbResult ClaimInterface(int n) override
    {
        m_log.calls.push_back("claim " + std::to_string(n));
        return Live() ? m_device.claim : UsbResult::NoDevice;
    }
    UsbResult ReleaseInterface(int n) override
    {
        m_log.calls.push_back("release " + std::to_string(n));
        return Live() ? UsbResult::Ok : UsbResult::NoDevice;
    }
    UsbResult Control(std::uint8_t type, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                      unsigned) override
    {
        m_log.calls.push_back("control " + Hex(type, 2) + " " + Hex(request, 2) + " " + Hex(value, 4) + " " +
                              std::to_string(index));
        return Live() ? UsbResult::Ok : UsbResult::NoDevice;
    }
    UsbResult ClearHalt(std::uint8_t endpoint) override
    {
        m_log.calls.push_back("clear-halt " + Hex(endpoint, 2));
        return Live() ? UsbResult::Ok : UsbResult::NoDevice;
    }
    UsbTransferResult Bulk(std::uint8_t endpoint, std::span<std::uint8_t> data, unsigned timeoutMs) override
    {
        if (!Live())
            return {UsbResult::NoDevice, 0};
        if ((endpoint & 0x80) == 0) {
            m_log.bulkOut.emplace_back(data.begin(), data.end());
            if (!m_device.repliesToWrites.empty()) {
                m_device.inPackets.push_back({UsbResult::Ok, m_device.repliesToWrites.front()});
                m_device.repliesToWrites.pop_front();
            }
            if (m_device.outResults.empty())
                return {UsbResult::Ok, data.size()};
            const auto result = m_device.outResults.front();
            m_device.outResults.pop_front();
            return result;
        }
        m_device.inTimeouts.push_back(timeoutMs);
        if (m_device.inPackets.empty())
            return {UsbResult::Timeout, 0};
        auto [result, bytes] = m_device.inPackets.front();
        m_device.inPackets.pop_front();
        const std::size_t n = std::min(bytes.size(), data.size());
        std::copy_n(bytes.begin(), n, data.begin());
        return {result, n};
    }

private:
    bool Live() const { return !m_device.unplugged; }
    FakeDevice& m_device;
    UsbLog& m_log;
};

class FakeHost final : public UsbHost {
public:
    bool started = true;
    bool openFails = false;
    std::vector<FakeDevice> devices;
    UsbLog log;

    bool Start() override { return started; }
    std::vector<UsbDeviceInfo> ListDevices() override
    {
        std::vector<UsbDeviceInfo> listed;
        for (const auto& device : devices)
            if (!device.unplugged)
                listed.push_back(device.info);
        return listed;
    }
    std::unique_ptr<UsbDeviceHandle> Open(const UsbDeviceInfo& info) override
    {
        for (auto& device : devices)
            if (!openFails && !device.unplugged && device.info.bus == info.bus && device.info.address == info.address)
                return std::make_unique<FakeHandle>(device, log);
        return nullptr;
    }
};

class AdapterUsbBridgeTest : public ::testing::Test {
protected:
    void SetUp() override { host.devices.push_back(FakeDevice{}); }
    FakeDevice& device() { return host.devices[0]; }
    BridgeHandle OpenAdapter()
    {
        BridgeHandle handle = kNullHandle;
        EXPECT_EQ(bridge.Open(0, &handle), kBridgeSuccess);
        EXPECT_NE(handle, kNullHandle);
        host.log.calls.clear();
        return handle;
    }
    std::uint32_t ReadInto(BridgeHandle handle, Bytes& buffer, BridgeStatus expected = kBridgeSuccess)
    {
        std::uint32_t received = 0;
        EXPECT_EQ(bridge.Read(handle, buffer, &received), expected);
        return received;
    }

    FakeHost host;
    AdapterUsbBridge bridge{host};
};

TEST_F(AdapterUsbBridgeTest, CountMatchesOnlyAdapterIds)
{
    for (UsbDeviceInfo info : {UsbDeviceInfo{0x10C4, 0xEA61, 1, 6, {}},
                               UsbDeviceInfo{0x10C4, 0xEA60, 1, 7, {}},  // a serial bridge, not ours
                               UsbDeviceInfo{0x1234, 0x0002, 1, 8, {}}}) {
        FakeDevice other;
        other.info = info;
        host.devices.push_back(other);
    }
    std::uint32_t count = 0;
    EXPECT_EQ(bridge.GetNumDevices(&count), kBridgeSuccess);
    EXPECT_EQ(count, 2u);
}

TEST_F(AdapterUsbBridgeTest, CountFailsWithoutAdapterOrUsb)
{
    std::uint32_t count = 9;
    device().info.productId = 0x1111;
    EXPECT_NE(bridge.GetNumDevices(&count), kBridgeSuccess);
    EXPECT_EQ(count, 0u);
    device().info.productId = 0x0002;
    host.started = false;
    EXPECT_NE(bridge.GetNumDevices(&count), kBridgeSuccess);
}

TEST_F(AdapterUsbBridgeTest, OpenRunsTheBridgeStartSequence)
{
    BridgeHandle handle = kNullHandle;
    ASSERT_EQ(bridge.Open(0, &handle), kBridgeSuccess);
    EXPECT_NE(handle, kNullHandle);
    EXPECT_EQ(host.log.calls, (std::vector<std::string>{"claim 0", "control 40 00 ffff 0", "control 40 02 0002 0"}));
}

TEST_F(AdapterUsbBridgeTest, EndpointsComeFromDescriptors)
{
    device().endpoints = {{0x83, 0x03}, {0x84, 0x02}, {0x01, 0x02}};  // an interrupt IN first
    const BridgeHandle handle = OpenAdapter();
    std::uint32_t written = 0;
    const Bytes command{0x21, 0x40};
    ASSERT_EQ(bridge.Write(handle, command, &written), kBridgeSuccess);
    device().inPackets.push_back({UsbResult::Ok, {0x02}});
    Bytes reply(1);
    EXPECT_EQ(ReadInto(handle, reply), 1u);
    EXPECT_EQ(device().inTimeouts.size(), 1u);
    EXPECT_EQ(host.log.bulkOut.back(), command);
}

TEST_F(AdapterUsbBridgeTest, OpenFailsCleanly)
{
    BridgeHandle handle = kNullHandle;
    EXPECT_NE(bridge.Open(1, &handle), kBridgeSuccess) << "only index 0 exists";
    device().endpoints = {{0x81, 0x02}};
    EXPECT_NE(bridge.Open(0, &handle), kBridgeSuccess) << "no bulk OUT endpoint";
    device().endpoints = {{0x81, 0x02}, {0x02, 0x02}};
    device().claim = UsbResult::Error;
    EXPECT_NE(bridge.Open(0, &handle), kBridgeSuccess);
    device().claim = UsbResult::Ok;
    host.openFails = true;
    EXPECT_NE(bridge.Open(0, &handle), kBridgeSuccess);
    EXPECT_EQ(handle, kNullHandle);
    EXPECT_EQ(std::count(host.log.calls.begin(), host.log.calls.end(), "close"), 2);
}

TEST_F(AdapterUsbBridgeTest, CloseRunsTheStopSequenceOnce)
{
    const BridgeHandle handle = OpenAdapter();
    EXPECT_EQ(bridge.Close(handle), kBridgeSuccess);
    EXPECT_EQ(host.log.calls, (std::vector<std::string>{"control 40 02 0004 0", "release 0", "close"}));
    EXPECT_NE(bridge.Close(handle), kBridgeSuccess);
    std::uint32_t written = 0;
    const Bytes command{1};
    EXPECT_NE(bridge.Write(handle, command, &written), kBridgeSuccess);
}

TEST_F(AdapterUsbBridgeTest, ReadKeepsSurplusForNextRead)
{
    const BridgeHandle handle = OpenAdapter();
    device().inPackets.push_back({UsbResult::Ok, {0x02, 0x02, 0x41, 0x99, 0x98}});
    Bytes reply(3);
    EXPECT_EQ(ReadInto(handle, reply), 3u);
    EXPECT_EQ(reply, (Bytes{0x02, 0x02, 0x41}));
    Bytes rest(2);
    EXPECT_EQ(ReadInto(handle, rest), 2u);
    EXPECT_EQ(rest, (Bytes{0x99, 0x98}));
    EXPECT_EQ(device().inTimeouts.size(), 1u) << "the kept bytes were enough";
}

TEST_F(AdapterUsbBridgeTest, ReadGathersPacketsUntilTimeout)
{
    const BridgeHandle handle = OpenAdapter();
    bridge.SetTimeouts(50, 50);
    device().inPackets.push_back({UsbResult::Ok, {0x02, 0x02}});
    device().inPackets.push_back({UsbResult::Ok, {0x10}});
    Bytes reply(5);
    EXPECT_EQ(ReadInto(handle, reply), 3u) << "fewer bytes than asked, status still success";
    ASSERT_GE(device().inTimeouts.size(), 1u);
    EXPECT_LE(device().inTimeouts[0], 50u);
}

TEST_F(AdapterUsbBridgeTest, TimedOutTransferKeepsItsPartialBytes)
{
    const BridgeHandle handle = OpenAdapter();
    device().inPackets.push_back({UsbResult::Timeout, {0x02, 0x02}});
    Bytes reply(3);
    EXPECT_EQ(ReadInto(handle, reply), 2u);
    EXPECT_EQ(reply[1], 0x02);
}

TEST_F(AdapterUsbBridgeTest, FlushDropsSurplusAndDrainsDevice)
{
    const BridgeHandle handle = OpenAdapter();
    device().inPackets.push_back({UsbResult::Ok, {1, 2, 3, 4}});
    Bytes one(1);
    ReadInto(handle, one);
    device().inPackets.push_back({UsbResult::Ok, {7, 7}});  // a late reply still in the device
    EXPECT_EQ(bridge.FlushBuffers(handle, 0xFF, 0xFF), kBridgeSuccess);
    EXPECT_TRUE(device().inPackets.empty());
    device().inPackets.push_back({UsbResult::Ok, {9}});
    EXPECT_EQ(ReadInto(handle, one), 1u);
    EXPECT_EQ(one[0], 9);
}

TEST_F(AdapterUsbBridgeTest, WriteReportsBytesWritten)
{
    const BridgeHandle handle = OpenAdapter();
    const Bytes frame(21, 0x22);
    device().outResults = {{UsbResult::Timeout, 16}, {UsbResult::Error, 0}};
    std::uint32_t written = 0;
    EXPECT_EQ(bridge.Write(handle, frame, &written), kBridgeSuccess);
    EXPECT_EQ(written, 16u);
    EXPECT_NE(bridge.Write(handle, frame, &written), kBridgeSuccess);
}

TEST_F(AdapterUsbBridgeTest, UnplugMidSessionFailsTransfersNotTheProcess)
{
    const BridgeHandle handle = OpenAdapter();
    device().unplugged = true;
    Bytes reply(3);
    ReadInto(handle, reply, bridge_status::kDeviceNotFound);
    std::uint32_t written = 0;
    const Bytes command{0x23, 0, 0, 0};
    EXPECT_NE(bridge.Write(handle, command, &written), kBridgeSuccess);
    std::uint32_t count = 0;
    EXPECT_NE(bridge.GetNumDevices(&count), kBridgeSuccess);
    EXPECT_EQ(bridge.Close(handle), kBridgeSuccess) << "the handle is released all the same";
}

TEST_F(AdapterUsbBridgeTest, SessionPollsIdentifiesAndNoticesUnplug)
{
    TComm comm(bridge);
    ASSERT_TRUE(comm.OpenAdapter());
    Bytes reply{0x02, 0x02};
    reply.resize(24, 0x00);
    reply[23] = 0xA0;
    device().repliesToWrites.push_back(reply);
    std::array<std::uint8_t, 22> id{};
    ASSERT_TRUE(comm.QueryAdapterInfo(id));
    EXPECT_EQ(id[21], 0xA0);
    EXPECT_EQ(host.log.bulkOut.back(), (Bytes{0x21, 0x40}));

    device().unplugged = true;
    EXPECT_FALSE(comm.OpenAdapter());
    EXPECT_EQ(comm.AdapterHandle(), kNullHandle);
    device().unplugged = false;
    EXPECT_TRUE(comm.OpenAdapter());
}

// The udev rule opens exactly the adapters that the layer looks for: to the
// user at the seat, to the fallback group, and never to ModemManager, both
// the USB device and any serial port a driver makes of it.
TEST(UdevRuleTest, MatchesTheAdapterIdsOnly)
{
    std::ifstream rules(RVZ_UDEV_RULE_FILE);
    ASSERT_TRUE(rules) << RVZ_UDEV_RULE_FILE;
    // Before the seat rules that act on the uaccess tag.
    EXPECT_LT(std::filesystem::path(RVZ_UDEV_RULE_FILE).filename().string(), "70-uaccess.rules");
    const std::regex usb(R"re(^SUBSYSTEM=="usb", ENV\{DEVTYPE\}=="usb_device", ATTR\{idVendor\}=="([0-9a-f]{4})", )re"
                         R"re(ATTR\{idProduct\}=="([0-9a-f]{4})", TAG\+="uaccess", GROUP="plugdev", MODE="0660", )re"
                         R"re(ENV\{ID_MM_DEVICE_IGNORE\}="1"$)re");
    const std::regex tty(R"re(^SUBSYSTEM=="tty", ATTRS\{idVendor\}=="([0-9a-f]{4})", ATTRS\{idProduct\}=="([0-9a-f]{4})", )re"
                         R"re(ENV\{ID_MM_DEVICE_IGNORE\}="1"$)re");
    std::vector<std::pair<unsigned long, unsigned long>> devices;
    std::vector<std::pair<unsigned long, unsigned long>> ports;
    for (std::string line; std::getline(rules, line);) {
        std::smatch match;
        if (std::regex_search(line, match, usb))
            devices.emplace_back(std::stoul(match[1], nullptr, 16), std::stoul(match[2], nullptr, 16));
        else if (std::regex_search(line, match, tty))
            ports.emplace_back(std::stoul(match[1], nullptr, 16), std::stoul(match[2], nullptr, 16));
        else
            EXPECT_TRUE(line.empty() || line.starts_with("#")) << "unexpected rule: " << line;
    }
    for (const auto* matched : {&devices, &ports}) {
        ASSERT_EQ(matched->size(), kAdapterUsbIds.size());
        for (std::size_t i = 0; i < matched->size(); ++i) {
            EXPECT_EQ((*matched)[i].first, kAdapterUsbIds[i].vendorId);
            EXPECT_EQ((*matched)[i].second, kAdapterUsbIds[i].productId);
        }
    }
}

// The real libusb path on a machine without the adapter: the count reports
// none and the poll runs without error.
TEST(LibusbHostTest, NoAdapterAttachedMeansNoSession)
{
    LibusbHost usb;
    AdapterUsbBridge bridge(usb);
    std::uint32_t count = 0;
    const BridgeStatus status = bridge.GetNumDevices(&count);
    if (status == kBridgeSuccess)
        GTEST_SKIP() << "an adapter is attached to this machine";
    EXPECT_EQ(count, 0u);
    TComm comm(bridge);
    for (int poll = 0; poll < 3; ++poll)
        EXPECT_FALSE(comm.OpenAdapter());
    EXPECT_EQ(comm.AdapterHandle(), kNullHandle);
}

}  // namespace
}  // namespace rvz
