// SPDX-License-Identifier: GPL-3.0-or-later
#include "TracingBridge.h"

#include <cstdio>
#include <string>

namespace rvz::cli {

std::string HexBytes(std::span<const std::uint8_t> bytes)
{
    std::string text;
    char pair[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, text.empty() ? "%02X" : " %02X", byte);
        text += pair;
    }
    return text;
}

TracingBridge::TracingBridge(UsbBridge& inner, std::ostream& trace) : m_inner(inner), m_trace(trace) {}

void TracingBridge::Line(std::chrono::steady_clock::time_point started, const std::string& what, BridgeStatus status)
{
    using std::chrono::duration;
    const auto now = std::chrono::steady_clock::now();
    char line[96];
    std::snprintf(line, sizeof line, "%10.3f ms  %8.3f ms  status 0x%02X  ",
                  duration<double, std::milli>(started - m_start).count(), duration<double, std::milli>(now - started).count(),
                  static_cast<unsigned>(status));
    m_trace << line << what << '\n';
    m_trace.flush();
}

BridgeStatus TracingBridge::GetNumDevices(std::uint32_t* count)
{
    const auto started = std::chrono::steady_clock::now();
    const BridgeStatus status = m_inner.GetNumDevices(count);
    Line(started, "count -> " + std::to_string(*count), status);
    return status;
}

BridgeStatus TracingBridge::Open(std::uint32_t deviceIndex, BridgeHandle* handle)
{
    const auto started = std::chrono::steady_clock::now();
    const BridgeStatus status = m_inner.Open(deviceIndex, handle);
    Line(started, "open index " + std::to_string(deviceIndex) + " -> handle " + std::to_string(*handle), status);
    return status;
}

BridgeStatus TracingBridge::Close(BridgeHandle handle)
{
    const auto started = std::chrono::steady_clock::now();
    const BridgeStatus status = m_inner.Close(handle);
    Line(started, "close handle " + std::to_string(handle), status);
    return status;
}

BridgeStatus TracingBridge::Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received)
{
    const auto started = std::chrono::steady_clock::now();
    *received = 0;
    const BridgeStatus status = m_inner.Read(handle, destination, received);
    const std::size_t shown = std::min<std::size_t>(*received, destination.size());
    Line(started,
         "read " + std::to_string(destination.size()) + " -> " + std::to_string(*received) + ": " +
             HexBytes(destination.first(shown)),
         status);
    return status;
}

BridgeStatus TracingBridge::Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written)
{
    const auto started = std::chrono::steady_clock::now();
    *written = 0;
    const BridgeStatus status = m_inner.Write(handle, source, written);
    Line(started, "write " + HexBytes(source) + " -> " + std::to_string(*written), status);
    return status;
}

BridgeStatus TracingBridge::FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive)
{
    const auto started = std::chrono::steady_clock::now();
    const BridgeStatus status = m_inner.FlushBuffers(handle, flushTransmit, flushReceive);
    Line(started, "flush " + std::to_string(flushTransmit) + " " + std::to_string(flushReceive), status);
    return status;
}

BridgeStatus TracingBridge::SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs)
{
    const auto started = std::chrono::steady_clock::now();
    const BridgeStatus status = m_inner.SetTimeouts(readTimeoutMs, writeTimeoutMs);
    Line(started, "timeouts read " + std::to_string(readTimeoutMs) + " ms, write " + std::to_string(writeTimeoutMs) + " ms",
         status);
    return status;
}

BridgeStatus TracingBridge::OpenChosen(const AdapterChoice& choice, BridgeHandle* handle, AdapterName* opened)
{
    const BridgeStatus status = UsbBridge::OpenChosen(choice, handle, opened);
    // A number opens without a look at the list: the inner bridge tells its port.
    if (status == kBridgeSuccess && opened->port.empty())
        if (const std::vector<AdapterName> adapters = m_inner.ListAdapters(); opened->index < adapters.size())
            opened->port = adapters[opened->index].port;
    return status;
}

}  // namespace rvz::cli
