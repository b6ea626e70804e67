// SPDX-License-Identifier: GPL-3.0-or-later
// The adapter's USB IDs, and how the devices on the bus are told by them.
#include <gtest/gtest.h>

#include "AdapterNames.h"
#include "UsbAdapters.h"

namespace rvz {
namespace {

TEST(AdapterIdsTest, TellsTheAdapterByBothIds)
{
    EXPECT_TRUE(IsAdapterId(0x10C4, 0x0002));
    EXPECT_TRUE(IsAdapterId(0x10C4, 0xEA61));
    EXPECT_FALSE(IsAdapterId(0x10C4, 0xEA60));  // a serial bridge, not ours
    EXPECT_FALSE(IsAdapterId(0x1234, 0x0002));
    EXPECT_TRUE(IsAdapter(UsbDeviceInfo{0x10C4, 0xEA61, 1, 2, {}}));
}

TEST(AdapterIdsTest, WritesThemAsLsusbDoes)
{
    EXPECT_EQ(UsbIdHex(kAdapterVendorId), "10c4");
    EXPECT_EQ(UsbIdText(UsbDeviceInfo{0x10C4, 0x0002, 1, 2, {}}), "10c4:0002");
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

TEST(AdapterIdsTest, FindsTheAttachedAdaptersInTheOrderOfTheirPorts)
{
    ListedHost host;
    host.devices = {{0x10C4, 0xEA61, 1, 6, {}},       {0x10C4, 0xEA60, 1, 7, "1-1"}, {0x10C4, 0x0002, 2, 3, "2-10"},
                    {0x10C4, 0x0002, 2, 9, "2-9.1"}, {0x10C4, 0xEA61, 1, 4, "1-3"}};
    std::vector<std::uint8_t> addresses;
    for (const UsbDeviceInfo& adapter : AttachedAdapters(host))
        addresses.push_back(adapter.address);
    // By bus, then port as a number; the one the system gives no port comes last.
    EXPECT_EQ(addresses, (std::vector<std::uint8_t>{4, 9, 3, 6}));
    host.starts = false;  // no USB subsystem
    EXPECT_TRUE(AttachedAdapters(host).empty());
}

// What --adapter takes: a number or a port path, each in one spelling.
TEST(AdapterIdsTest, AnAdapterIsNamedByItsNumberOrItsPortPath)
{
    struct Row {
        const char* text;
        std::optional<std::uint32_t> index;
        const char* port;  // null: no name
    };
    const Row rows[] = {
        {"0", 0, ""},          {"12", 12, ""},          {"1-2", std::nullopt, "1-2"},
        {"3-1.4.2", std::nullopt, "3-1.4.2"},           {"255-255", std::nullopt, "255-255"},
        {"", std::nullopt, nullptr},   {"-1", std::nullopt, nullptr},  {"1-", std::nullopt, nullptr},
        {"1-2.", std::nullopt, nullptr}, {"1-0", std::nullopt, nullptr}, {"01-2", std::nullopt, nullptr},
        {"1-256", std::nullopt, nullptr}, {"1--2", std::nullopt, nullptr}, {"1-2 ", std::nullopt, nullptr},
        {"1000", std::nullopt, nullptr}, {"usb1", std::nullopt, nullptr}, {"1.2", std::nullopt, nullptr},
    };
    for (const Row& row : rows) {
        const std::optional<AdapterChoice> choice = ParseAdapterChoice(row.text);
        ASSERT_EQ(choice.has_value(), row.port != nullptr) << row.text;
        if (!choice)
            continue;
        EXPECT_EQ(choice->index, row.index) << row.text;
        EXPECT_EQ(choice->port, row.port) << row.text;
        EXPECT_EQ(choice->Text(), row.text);
    }
    const std::uint8_t ports[] = {2, 3};
    EXPECT_EQ(PortPath(1, ports), "1-2.3");
    EXPECT_EQ(PortPath(1, {}), "");
    const AdapterChoice port{std::nullopt, "1-2"};
    const AdapterChoice second{1, {}};
    EXPECT_TRUE(port.Matches(AdapterName{5, "1-2"}));
    EXPECT_FALSE(port.Matches(AdapterName{0, "1-2.1"}));
    EXPECT_TRUE(second.Matches(AdapterName{1, "1-9"}));
}

}  // namespace
}  // namespace rvz
