// SPDX-License-Identifier: GPL-3.0-or-later
#include "UsbAdapters.h"

namespace rvz {

bool IsAdapter(const UsbDeviceInfo& device) { return IsAdapterId(device.vendorId, device.productId); }

std::vector<UsbDeviceInfo> AttachedAdapters(UsbHost& host)
{
    if (!host.Start())
        return {};
    std::vector<UsbDeviceInfo> adapters;
    for (const UsbDeviceInfo& device : host.ListDevices())
        if (IsAdapter(device))
            adapters.push_back(device);
    return adapters;
}

std::string UsbIdText(const UsbDeviceInfo& device) { return UsbIdText(device.vendorId, device.productId); }

}  // namespace rvz
