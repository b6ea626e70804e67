// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The adapter's bridge library rebuilt on plain USB transfers, for systems
// where the vendor's library does not exist. It offers the same seven
// operations with the results the adapter session relies on.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "UsbAdapters.h"
#include "UsbBridge.h"
#include "UsbHost.h"

namespace rvz {

// Vendor requests of the bridge firmware.
namespace bridge_request {
inline constexpr std::uint8_t kVendorOut = 0x40;  // host to device, vendor, device recipient
inline constexpr std::uint8_t kReset = 0x00;
inline constexpr std::uint16_t kResetValue = 0xFFFF;
inline constexpr std::uint8_t kControl = 0x02;
inline constexpr std::uint16_t kEnable = 0x0002;
inline constexpr std::uint16_t kDisable = 0x0004;
// The same bound as the adapter's own transfers, so that a device that does
// not answer control requests holds a poll for tens of milliseconds only.
inline constexpr unsigned kControlTimeoutMs = 50;
}  // namespace bridge_request

class AdapterUsbBridge final : public UsbBridge {
public:
    explicit AdapterUsbBridge(UsbHost& host) : m_host(host) {}
    // A bridge with a host of its own, for a thread that no other shares.
    explicit AdapterUsbBridge(std::unique_ptr<UsbHost> host) : m_ownHost(std::move(host)), m_host(*m_ownHost) {}
    ~AdapterUsbBridge() override;

    BridgeStatus GetNumDevices(std::uint32_t* count) override;
    BridgeStatus Open(std::uint32_t deviceIndex, BridgeHandle* handle) override;
    BridgeStatus Close(BridgeHandle handle) override;
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received) override;
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written) override;
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive) override;
    BridgeStatus SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs) override;
    // "usb-BBB-AAA": the bus and the address, which the adapter keeps until
    // it is unplugged (and with it, whatever it still had to send is gone).
    std::string SessionKey(BridgeHandle handle) const override;
    // Numbered in the host's order, named by their port paths.
    std::vector<AdapterName> ListAdapters() override;
    // Finds the adapter and opens it from the one listing, so that an
    // adapter plugged in or out meanwhile cannot shift the choice onto another.
    BridgeStatus OpenChosen(const AdapterChoice& choice, BridgeHandle* handle, AdapterName* opened) override;

    // Bytes of one bulk IN transfer; a reply longer than asked for leaves its
    // surplus for the next read.
    static constexpr std::size_t kInTransferSize = 512;
    // Flushing drains what the device still holds, a few short transfers at most.
    static constexpr int kDrainTransfers = 8;
    static constexpr unsigned kDrainTimeoutMs = 1;
    static_assert(kDrainTimeoutMs > 0, "a zero time-out waits for ever");

private:
    struct Session {
        UsbDeviceInfo where;
        bool gone = false;  // a transfer found the device gone
        std::unique_ptr<UsbDeviceHandle> device;
        std::uint8_t inEndpoint = 0;
        std::uint8_t outEndpoint = 0;
        std::vector<std::uint8_t> surplus;
    };

    std::vector<UsbDeviceInfo> MatchingDevices();
    BridgeStatus OpenDevice(const UsbDeviceInfo& device, BridgeHandle* handle);
    Session* Find(BridgeHandle handle);
    const Session* Find(BridgeHandle handle) const;
    static bool FindBulkEndpoints(UsbDeviceHandle& device, Session& session);
    // Notes what a transfer's result says about the session: a device that
    // is gone, or an endpoint that stalled and has its halt cleared.
    static UsbResult Track(Session& session, std::uint8_t endpoint, UsbResult result);

    std::unique_ptr<UsbHost> m_ownHost;
    UsbHost& m_host;
    std::map<BridgeHandle, Session> m_sessions;
    BridgeHandle m_nextHandle = 1;
    // Until set, transfers give up after a second; never wait without end.
    std::chrono::milliseconds m_readTimeout{1000};
    std::chrono::milliseconds m_writeTimeout{1000};
};

}  // namespace rvz
