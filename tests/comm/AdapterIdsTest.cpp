// SPDX-License-Identifier: GPL-3.0-or-later
// The adapter's USB IDs, and how the devices on the bus are told by them.
#include <gtest/gtest.h>

#include "UsbAdapters.h"

namespace rvz {
namespace {

TEST(AdapterIdsTest, TellsTheAdapterByBothIds)
{
    EXPECT_TRUE(IsAdapterId(0x10C4, 0x0002));
    EXPECT_TRUE(IsAdapterId(0x10C4, 0xEA61));
    EXPECT_FALSE(IsAdapterId(0x10C4, 0xEA60));  // a serial bridge, not ours
    EXPECT_FALSE(IsAdapterId(0x1234, 0x0002));
    EXPECT_TRUE(IsAdapter(UsbDeviceInfo{0x10C4, 0xEA61, 1, 2}));
}

TEST(AdapterIdsTest, WritesThemAsLsusbDoes)
{
    EXPECT_EQ(UsbIdHex(kAdapterVendorId), "10c4");
    EXPECT_EQ(UsbIdText(UsbDeviceInfo{0x10C4, 0x0002, 1, 2}), "10c4:0002");
    EXPECT_EQ(AdapterUsbIdsText(), "10c4:0002, 10c4:ea61");
}

class ListedHost final : public UsbHost {
public:
    bool starts = true;
    std::vector<UsbDeviceInfo> devices;
    bool Start() override { return starts; }
    std::vector<UsbDeviceInfo> ListDevices() override { return devices; }
    std::unique_ptr<UsbDeviceHandle> Open(const UsbDeviceInfo&) override { return nullptr; }
};

TEST(AdapterIdsTest, FindsTheAttachedAdaptersInTheHostsOrder)
{
    ListedHost host;
    host.devices = {{0x10C4, 0xEA61, 1, 6}, {0x10C4, 0xEA60, 1, 7}, {0x10C4, 0x0002, 2, 3}};
    const std::vector<UsbDeviceInfo> adapters = AttachedAdapters(host);
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].address, 6);
    EXPECT_EQ(adapters[1].bus, 2);
    host.starts = false;  // no USB subsystem
    EXPECT_TRUE(AttachedAdapters(host).empty());
}

}  // namespace
}  // namespace rvz
