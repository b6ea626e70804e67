// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdapterUsbBridge.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace rvz {

namespace {

constexpr int kInterfaceNumber = 0;
constexpr std::uint8_t kDirectionIn = 0x80;
constexpr std::uint8_t kTransferTypeMask = 0x03;
constexpr std::uint8_t kTransferTypeBulk = 0x02;


// The status of a transfer that failed: unplugged mid-transfer, a stalled
// endpoint, or another error of the direction.
BridgeStatus FailedTransfer(UsbResult result, BridgeStatus otherwise)
{
    if (result == UsbResult::NoDevice)
        return bridge_status::kDeviceNotFound;
    if (result == UsbResult::Stall)
        return bridge_status::kStalled;
    return otherwise;
}

unsigned RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<unsigned>(left.count()) : 0;
}

}  // namespace

AdapterUsbBridge::~AdapterUsbBridge()
{
    while (!m_sessions.empty())
        Close(m_sessions.begin()->first);
}

std::vector<UsbDeviceInfo> AdapterUsbBridge::MatchingDevices() { return AttachedAdapters(m_host); }

AdapterUsbBridge::Session* AdapterUsbBridge::Find(BridgeHandle handle)
{
    const auto it = m_sessions.find(handle);
    return it == m_sessions.end() ? nullptr : &it->second;
}

const AdapterUsbBridge::Session* AdapterUsbBridge::Find(BridgeHandle handle) const
{
    const auto it = m_sessions.find(handle);
    return it == m_sessions.end() ? nullptr : &it->second;
}

std::string AdapterUsbBridge::SessionKey(BridgeHandle handle) const
{
    const Session* session = Find(handle);
    if (!session)
        return {};
    char key[16];
    std::snprintf(key, sizeof key, "usb-%03u-%03u", session->where.bus, session->where.address);
    return key;
}

BridgeStatus AdapterUsbBridge::GetNumDevices(std::uint32_t* count)
{
    const auto adapters = MatchingDevices();
    *count = static_cast<std::uint32_t>(adapters.size());
    // The count is the session's only sign that its adapter went away. Once
    // an open adapter is gone it fails, even while another one is attached,
    // so that the session closes and the next poll opens afresh.
    for (const auto& entry : m_sessions) {
        const Session& session = entry.second;
        if (session.gone || std::none_of(adapters.begin(), adapters.end(), [&](const UsbDeviceInfo& device) {
                return device.bus == session.where.bus && device.address == session.where.address;
            }))
            return bridge_status::kDeviceNotFound;
    }
    return adapters.empty() ? bridge_status::kDeviceNotFound : kBridgeSuccess;
}

UsbResult AdapterUsbBridge::Track(Session& session, std::uint8_t endpoint, UsbResult result)
{
    if (result == UsbResult::NoDevice)
        session.gone = true;
    // A halt stays until it is cleared; without this the endpoint would
    // stall for the rest of the session.
    if (result == UsbResult::Stall && session.device->ClearHalt(endpoint) == UsbResult::NoDevice)
        session.gone = true;
    return result;
}

bool AdapterUsbBridge::FindBulkEndpoints(UsbDeviceHandle& device, Session& session)
{
    for (const UsbEndpointDescriptor& endpoint : device.InterfaceEndpoints(kInterfaceNumber)) {
        if ((endpoint.attributes & kTransferTypeMask) != kTransferTypeBulk)
            continue;
        std::uint8_t& slot = (endpoint.address & kDirectionIn) ? session.inEndpoint : session.outEndpoint;
        if (slot == 0)
            slot = endpoint.address;
    }
    return session.inEndpoint != 0 && session.outEndpoint != 0;
}

std::vector<AdapterName> AdapterUsbBridge::ListAdapters()
{
    std::vector<AdapterName> names;
    for (const UsbDeviceInfo& device : MatchingDevices())
        names.push_back({static_cast<std::uint32_t>(names.size()), device.port});
    return names;
}

BridgeStatus AdapterUsbBridge::Open(std::uint32_t deviceIndex, BridgeHandle* handle)
{
    const auto adapters = MatchingDevices();
    if (deviceIndex >= adapters.size())
        return bridge_status::kDeviceNotFound;
    return OpenDevice(adapters[deviceIndex], handle);
}

BridgeStatus AdapterUsbBridge::OpenChosen(const AdapterChoice& choice, BridgeHandle* handle, AdapterName* opened)
{
    const auto adapters = MatchingDevices();
    for (std::uint32_t index = 0; index < adapters.size(); ++index) {
        const AdapterName name{index, adapters[index].port};
        if (!choice.Matches(name))
            continue;
        const BridgeStatus status = OpenDevice(adapters[index], handle);
        if (status == kBridgeSuccess)
            *opened = name;
        return status;
    }
    return bridge_status::kDeviceNotFound;
}

BridgeStatus AdapterUsbBridge::OpenDevice(const UsbDeviceInfo& device, BridgeHandle* handle)
{
    using namespace bridge_request;
    Session session;
    session.where = device;
    session.device = m_host.Open(device);
    if (!session.device)
        return m_host.LastOpenError() == UsbResult::Access ? bridge_status::kAccessDenied
                                                           : bridge_status::kDeviceNotFound;
    if (!FindBulkEndpoints(*session.device, session))
        return bridge_status::kDeviceNotFound;
    UsbDeviceHandle& opened = *session.device;
    if (const UsbResult claimed = opened.ClaimInterface(kInterfaceNumber); claimed != UsbResult::Ok)
        return claimed == UsbResult::Busy ? bridge_status::kBusy : bridge_status::kDeviceIoFailed;

    // Halts are cleared when an endpoint stalls, not here: a clear-halt
    // waits as long as the kernel likes, and a poll must not.
    const bool started = opened.Control(kVendorOut, kReset, kResetValue, 0, kControlTimeoutMs) == UsbResult::Ok &&
                         opened.Control(kVendorOut, kControl, kEnable, 0, kControlTimeoutMs) == UsbResult::Ok;
    if (!started) {
        opened.ReleaseInterface(kInterfaceNumber);
        return bridge_status::kDeviceIoFailed;
    }

    *handle = m_nextHandle++;
    m_sessions.emplace(*handle, std::move(session));
    return kBridgeSuccess;
}

BridgeStatus AdapterUsbBridge::Close(BridgeHandle handle)
{
    using namespace bridge_request;
    Session* session = Find(handle);
    if (!session)
        return bridge_status::kInvalidHandle;
    // An unplugged adapter fails these; the handle is released all the same.
    session->device->Control(kVendorOut, kControl, kDisable, 0, kControlTimeoutMs);
    session->device->ReleaseInterface(kInterfaceNumber);
    m_sessions.erase(handle);
    return kBridgeSuccess;
}

BridgeStatus AdapterUsbBridge::Read(BridgeHandle handle, std::span<std::uint8_t> destination,
                                    std::uint32_t* received)
{
    Session* session = Find(handle);
    if (!session)
        return bridge_status::kInvalidHandle;

    std::size_t count = std::min(destination.size(), session->surplus.size());
    std::copy_n(session->surplus.begin(), count, destination.begin());
    session->surplus.erase(session->surplus.begin(), session->surplus.begin() + static_cast<long>(count));

    const auto deadline = std::chrono::steady_clock::now() + m_readTimeout;
    std::array<std::uint8_t, kInTransferSize> packet{};
    while (count < destination.size()) {
        const unsigned remaining = RemainingMs(deadline);
        if (remaining == 0)
            break;
        const UsbTransferResult transfer = session->device->Bulk(session->inEndpoint, packet, remaining);
        if (Track(*session, session->inEndpoint, transfer.result) != UsbResult::Ok && transfer.result != UsbResult::Timeout)
            return FailedTransfer(transfer.result, bridge_status::kReadError);
        const std::size_t got = std::min(transfer.transferred, packet.size());
        const std::size_t used = std::min(got, destination.size() - count);
        std::copy_n(packet.begin(), used, destination.begin() + static_cast<long>(count));
        session->surplus.insert(session->surplus.end(), packet.begin() + static_cast<long>(used),
                                packet.begin() + static_cast<long>(got));
        count += used;
        if (transfer.result == UsbResult::Timeout)
            break;
    }
    *received = static_cast<std::uint32_t>(count);
    return kBridgeSuccess;
}

BridgeStatus AdapterUsbBridge::Write(BridgeHandle handle, std::span<const std::uint8_t> source,
                                     std::uint32_t* written)
{
    Session* session = Find(handle);
    if (!session)
        return bridge_status::kInvalidHandle;
    std::vector<std::uint8_t> data(source.begin(), source.end());
    const auto timeout = static_cast<unsigned>(std::max<long long>(1, m_writeTimeout.count()));
    const UsbTransferResult transfer = session->device->Bulk(session->outEndpoint, data, timeout);
    if (Track(*session, session->outEndpoint, transfer.result) != UsbResult::Ok && transfer.result != UsbResult::Timeout)
        return FailedTransfer(transfer.result, bridge_status::kWriteError);
    *written = static_cast<std::uint32_t>(std::min(transfer.transferred, data.size()));
    return kBridgeSuccess;
}

BridgeStatus AdapterUsbBridge::FlushBuffers(BridgeHandle handle, std::uint8_t, std::uint8_t flushReceive)
{
    Session* session = Find(handle);
    if (!session)
        return bridge_status::kInvalidHandle;
    // Writes complete before they return, so nothing waits to be sent.
    if (flushReceive == 0)
        return kBridgeSuccess;
    session->surplus.clear();
    std::array<std::uint8_t, kInTransferSize> packet{};
    for (int i = 0; i < kDrainTransfers; ++i) {
        const UsbTransferResult transfer = session->device->Bulk(session->inEndpoint, packet, kDrainTimeoutMs);
        if (Track(*session, session->inEndpoint, transfer.result) != UsbResult::Ok || transfer.transferred == 0)
            break;
    }
    return kBridgeSuccess;
}

BridgeStatus AdapterUsbBridge::SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs)
{
    // A zero would mean no time-out at all to libusb; the shortest wait stands in.
    m_readTimeout = std::chrono::milliseconds(std::max<std::uint32_t>(1, readTimeoutMs));
    m_writeTimeout = std::chrono::milliseconds(std::max<std::uint32_t>(1, writeTimeoutMs));
    return kBridgeSuccess;
}

}  // namespace rvz
