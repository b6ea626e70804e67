// SPDX-License-Identifier: GPL-3.0-or-later
#include "UsbBridge.h"

#include <algorithm>

namespace rvz {

std::vector<AdapterName> UsbBridge::ListAdapters()
{
    std::uint32_t count = 0;
    if (GetNumDevices(&count) != kBridgeSuccess)
        return {};
    std::vector<AdapterName> adapters;
    for (std::uint32_t index = 0; index < count; ++index)
        adapters.push_back({index, {}});
    return adapters;
}

BridgeStatus UsbBridge::OpenChosen(const AdapterChoice& choice, BridgeHandle* handle, AdapterName* opened)
{
    std::uint32_t index = 0;
    if (choice.index) {
        index = *choice.index;
    } else {
        const std::vector<AdapterName> adapters = ListAdapters();
        const auto it = std::find_if(adapters.begin(), adapters.end(),
                                     [&](const AdapterName& adapter) { return choice.Matches(adapter); });
        if (it == adapters.end())
            return bridge_status::kDeviceNotFound;
        index = it->index;
    }
    const BridgeStatus status = Open(index, handle);
    if (status == kBridgeSuccess)
        *opened = {index, choice.port};
    return status;
}

}  // namespace rvz
