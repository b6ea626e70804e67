// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The USB IDs the adapter answers to, in one place: the USB layer finds the
// adapter by them, the doctor names them, and a test holds the packaged udev
// rule to them.

#include <array>
#include <cstdint>
#include <string>

namespace rvz {

struct UsbId {
    std::uint16_t vendorId;
    std::uint16_t productId;
};

// The adapter's bridge microcontroller in its bulk firmware, and the vendor's
// bridge chips in the same mode.
inline constexpr std::array<UsbId, 2> kAdapterUsbIds{{{0x10C4, 0x0002}, {0x10C4, 0xEA61}}};

// Both come from the bridge's vendor, so one vendor ID finds either (lsusb -d,
// udevadm's attribute match).
inline constexpr std::uint16_t kAdapterVendorId = kAdapterUsbIds[0].vendorId;
static_assert(kAdapterUsbIds[1].vendorId == kAdapterVendorId, "one vendor ID is named for all adapters");

bool IsAdapterId(std::uint16_t vendorId, std::uint16_t productId);

// "10c4", as lsusb and udev write an ID.
std::string UsbIdHex(std::uint16_t id);
// "10c4:ea61".
std::string UsbIdText(std::uint16_t vendorId, std::uint16_t productId);
// "10c4:0002, 10c4:ea61".
std::string AdapterUsbIdsText();

}  // namespace rvz
