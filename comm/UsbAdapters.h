// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The adapters among the attached USB devices, told by their IDs: what the
// USB layer opens, and what the doctor and the command line name.

#include <string>
#include <vector>

#include "AdapterIds.h"
#include "UsbHost.h"

namespace rvz {

// Whether the device carries one of the adapter's IDs.
bool IsAdapter(const UsbDeviceInfo& device);
// The attached devices with the adapter's IDs, in the order of their port
// paths (those without one in the host's order, last); none when the USB
// library cannot start.
std::vector<UsbDeviceInfo> AttachedAdapters(UsbHost& host);
// "10c4:ea61" of the device.
std::string UsbIdText(const UsbDeviceInfo& device);

}  // namespace rvz
