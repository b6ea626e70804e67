// SPDX-License-Identifier: GPL-3.0-or-later
#include "UsbAdapters.h"

#include <algorithm>

#include "AdapterNames.h"

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
    // Numbered by port, so that the numbers follow the bench, not the order the host found them in.
    std::stable_sort(adapters.begin(), adapters.end(),
                     [](const UsbDeviceInfo& a, const UsbDeviceInfo& b) { return PortBefore(a.port, b.port); });
    return adapters;
}

std::string UsbIdText(const UsbDeviceInfo& device) { return UsbIdText(device.vendorId, device.productId); }

}  // namespace rvz
