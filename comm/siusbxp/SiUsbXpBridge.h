// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bridge operations over the vendor's USBXpress library, as Windows
// drives the adapter: the vendor's driver owns the device there, so this,
// not libusb, is the way to it. The library's statuses are passed on
// unchanged; only what could make the caller step out of its buffers is
// kept in bounds.

#include <map>
#include <string>

#include "SiUsbXpApi.h"
#include "UsbBridge.h"

namespace rvz {

class SiUsbXpBridge final : public UsbBridge {
public:
    // The status of every operation while no library is bound.
    static constexpr BridgeStatus kNoLibrary = bridge_status::kLibraryMissing;

    // functions is null when the library could not be loaded or lacks an
    // operation; then every operation fails and the count says no adapter.
    explicit SiUsbXpBridge(const siusbxp::Functions* functions) : m_functions(functions) {}

    BridgeStatus GetNumDevices(std::uint32_t* count) override;
    BridgeStatus Open(std::uint32_t deviceIndex, BridgeHandle* handle) override;
    BridgeStatus Close(BridgeHandle handle) override;
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received) override;
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written) override;
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive) override;
    BridgeStatus SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs) override;
    // The library tells nothing that would name an adapter but its number
    // in its list: the key of a number stands for whichever adapter that is.
    std::string SessionKey(BridgeHandle handle) const override;

private:
    const siusbxp::Functions* m_functions;
    std::map<BridgeHandle, std::uint32_t> m_indexOf;  // of the open handles
};

}  // namespace rvz
