// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A bridge that passes every operation on and writes one line per call: the
// operation, its arguments and bytes, the status it returned and how long it
// took. It sits between the session and the real bridge, so the trace shows
// exactly what the adapter was asked and answered.

#include <chrono>
#include <ostream>
#include <string>

#include "UsbBridge.h"

namespace rvz::cli {

class TracingBridge final : public UsbBridge {
public:
    TracingBridge(UsbBridge& inner, std::ostream& trace);

    BridgeStatus GetNumDevices(std::uint32_t* count) override;
    BridgeStatus Open(std::uint32_t deviceIndex, BridgeHandle* handle) override;
    BridgeStatus Close(BridgeHandle handle) override;
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received) override;
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written) override;
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive) override;
    BridgeStatus SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs) override;
    std::string SessionKey(BridgeHandle handle) const override { return m_inner.SessionKey(handle); }
    // The inner bridge's names and ports; the open itself is traced as Open.
    std::vector<AdapterName> ListAdapters() override { return m_inner.ListAdapters(); }
    BridgeStatus OpenChosen(const AdapterChoice& choice, BridgeHandle* handle, AdapterName* opened) override;

private:
    void Line(std::chrono::steady_clock::time_point started, const std::string& what, BridgeStatus status);

    UsbBridge& m_inner;
    std::ostream& m_trace;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// Bytes as hexadecimal pairs separated by spaces: "23 03 00 00".
std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace rvz::cli
