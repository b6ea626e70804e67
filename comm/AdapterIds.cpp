// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdapterIds.h"

#include <algorithm>
#include <cstdio>

namespace rvz {

bool IsAdapterId(std::uint16_t vendorId, std::uint16_t productId)
{
    return std::any_of(kAdapterUsbIds.begin(), kAdapterUsbIds.end(),
                       [&](const UsbId& id) { return id.vendorId == vendorId && id.productId == productId; });
}

std::string UsbIdHex(std::uint16_t id)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(id));
    return text;
}

std::string UsbIdText(std::uint16_t vendorId, std::uint16_t productId)
{
    return UsbIdHex(vendorId) + ":" + UsbIdHex(productId);
}

std::string AdapterUsbIdsText()
{
    std::string text;
    for (const UsbId& id : kAdapterUsbIds)
        text += (text.empty() ? "" : ", ") + UsbIdText(id.vendorId, id.productId);
    return text;
}

}  // namespace rvz
