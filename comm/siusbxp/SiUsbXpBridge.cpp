// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiUsbXpBridge.h"

#include <algorithm>
#include <limits>

namespace rvz {

namespace {

siusbxp::Handle ToLibrary(BridgeHandle handle) { return reinterpret_cast<siusbxp::Handle>(handle); }

// The session asks for a few dozen bytes at most; a larger buffer is
// offered only up to what a 32-bit count can say.
siusbxp::Dword CountFor(std::size_t size)
{
    return static_cast<siusbxp::Dword>(std::min<std::size_t>(size, std::numeric_limits<siusbxp::Dword>::max()));
}

}  // namespace

BridgeStatus SiUsbXpBridge::GetNumDevices(std::uint32_t* count)
{
    siusbxp::Dword found = 0;
    const BridgeStatus status = m_functions ? m_functions->getNumDevices(&found) : kNoLibrary;
    *count = found;
    return status;
}

BridgeStatus SiUsbXpBridge::Open(std::uint32_t deviceIndex, BridgeHandle* handle)
{
    if (!m_functions)
        return kNoLibrary;
    siusbxp::Handle opened = nullptr;
    const BridgeStatus status = m_functions->open(deviceIndex, &opened);
    // Whatever a failed open left in its handle is never used, nor closed.
    *handle = status == kBridgeSuccess ? reinterpret_cast<BridgeHandle>(opened) : kNullHandle;
    if (*handle != kNullHandle)
        m_indexOf[*handle] = deviceIndex;
    return status;
}

std::string SiUsbXpBridge::SessionKey(BridgeHandle handle) const
{
    const auto it = m_indexOf.find(handle);
    return it == m_indexOf.end() ? std::string() : "siusbxp-" + std::to_string(it->second);
}

BridgeStatus SiUsbXpBridge::Close(BridgeHandle handle)
{
    m_indexOf.erase(handle);
    return m_functions ? m_functions->close(ToLibrary(handle)) : kNoLibrary;
}

BridgeStatus SiUsbXpBridge::Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received)
{
    if (!m_functions)
        return kNoLibrary;
    const siusbxp::Dword wanted = CountFor(destination.size());
    siusbxp::Dword count = 0;
    const BridgeStatus status = m_functions->read(ToLibrary(handle), destination.data(), wanted, &count, nullptr);
    // The count goes on as the library reports it, even beyond what was
    // wanted: the session then fails the exchange, and never reads past
    // the buffer it offered.
    *received = count;
    return status;
}

BridgeStatus SiUsbXpBridge::Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written)
{
    if (!m_functions)
        return kNoLibrary;
    siusbxp::Dword count = 0;
    // The library's write takes a plain pointer but only reads through it.
    const BridgeStatus status = m_functions->write(ToLibrary(handle), const_cast<std::uint8_t*>(source.data()),
                                                   CountFor(source.size()), &count, nullptr);
    *written = count;
    return status;
}

BridgeStatus SiUsbXpBridge::FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive)
{
    return m_functions ? m_functions->flushBuffers(ToLibrary(handle), flushTransmit, flushReceive) : kNoLibrary;
}

BridgeStatus SiUsbXpBridge::SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs)
{
    return m_functions ? m_functions->setTimeouts(readTimeoutMs, writeTimeoutMs) : kNoLibrary;
}

}  // namespace rvz
