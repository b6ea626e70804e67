// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A workshop bench of simulated adapters, each at a USB port of its own
// ("1-1", "1-2", ...) with its own servo: one bridge that sees them all, as
// a program's commands do, and for each a bridge that sees the bench but
// touches only its own adapter, as a lane of a parallel batch does from its
// thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimulatedAdapter.h"

namespace rvz::test {

class SimulatedBench final : public UsbBridge {
public:
    explicit SimulatedBench(std::size_t adapters)
    {
        for (std::size_t i = 0; i < adapters; ++i)
            m_slots.push_back(std::make_unique<SimulatedAdapter>(true));
    }
    std::size_t Size() const { return m_slots.size(); }
    SimulatedAdapter& At(std::size_t slot) { return *m_slots[slot]; }
    static std::string Port(std::size_t slot) { return "1-" + std::to_string(slot + 1); }

    BridgeStatus GetNumDevices(std::uint32_t* count) override
    {
        *count = static_cast<std::uint32_t>(Plugged().size());
        // As the USB bridge does: the open session's adapter gone fails the count.
        if (m_open && !At(*m_open).IsPluggedIn())
            return bridge_status::kDeviceNotFound;
        return *count > 0 ? kBridgeSuccess : bridge_status::kDeviceNotFound;
    }
    std::vector<AdapterName> ListAdapters() override
    {
        std::vector<AdapterName> names;
        for (std::size_t slot : Plugged())
            names.push_back({static_cast<std::uint32_t>(names.size()), Port(slot)});
        return names;
    }
    BridgeStatus OpenChosen(const AdapterChoice& choice, BridgeHandle* handle, AdapterName* opened) override
    {
        for (const AdapterName& name : ListAdapters()) {
            if (!choice.Matches(name))
                continue;
            const BridgeStatus status = Open(name.index, handle);
            if (status == kBridgeSuccess)
                *opened = name;
            return status;
        }
        return bridge_status::kDeviceNotFound;
    }
    // The commands run one after another: one session at a time.
    BridgeStatus Open(std::uint32_t index, BridgeHandle* handle) override
    {
        const std::vector<std::size_t> plugged = Plugged();
        if (index >= plugged.size())
            return bridge_status::kDeviceNotFound;
        const BridgeStatus status = At(plugged[index]).Open(0, handle);
        if (status == kBridgeSuccess)
            m_open = plugged[index];
        return status;
    }
    BridgeStatus Close(BridgeHandle handle) override
    {
        const BridgeStatus status = Opened().Close(handle);
        m_open.reset();
        return status;
    }
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> to, std::uint32_t* received) override
    {
        return Opened().Read(handle, to, received);
    }
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> from, std::uint32_t* written) override
    {
        return Opened().Write(handle, from, written);
    }
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t transmit, std::uint8_t receive) override
    {
        return Opened().FlushBuffers(handle, transmit, receive);
    }
    BridgeStatus SetTimeouts(std::uint32_t read, std::uint32_t write) override
    {
        for (auto& slot : m_slots)
            slot->SetTimeouts(read, write);
        return kBridgeSuccess;
    }

private:
    std::vector<std::size_t> Plugged() const
    {
        std::vector<std::size_t> plugged;
        for (std::size_t slot = 0; slot < m_slots.size(); ++slot)
            if (m_slots[slot]->IsPluggedIn())
                plugged.push_back(slot);
        return plugged;
    }
    // Without a session, the first adapter answers: with a handle it never gave, it fails.
    SimulatedAdapter& Opened() { return At(m_open.value_or(0)); }

    std::vector<std::unique_ptr<SimulatedAdapter>> m_slots;
    std::optional<std::size_t> m_open;
};

// One adapter of the bench, as a lane's own bridge sees it: the only
// adapter it lists, at its port.
class BenchSlotBridge final : public UsbBridge {
public:
    BenchSlotBridge(SimulatedAdapter& adapter, std::string port) : m_adapter(adapter), m_port(std::move(port)) {}

    BridgeStatus GetNumDevices(std::uint32_t* count) override { return m_adapter.GetNumDevices(count); }
    std::vector<AdapterName> ListAdapters() override
    {
        return m_adapter.IsPluggedIn() ? std::vector<AdapterName>{{0, m_port}} : std::vector<AdapterName>{};
    }
    BridgeStatus OpenChosen(const AdapterChoice& choice, BridgeHandle* handle, AdapterName* opened) override
    {
        if (!m_adapter.IsPluggedIn() || !choice.Matches({0, m_port}))
            return bridge_status::kDeviceNotFound;
        const BridgeStatus status = m_adapter.Open(0, handle);
        if (status == kBridgeSuccess)
            *opened = {0, m_port};
        return status;
    }
    BridgeStatus Open(std::uint32_t index, BridgeHandle* handle) override { return m_adapter.Open(index, handle); }
    BridgeStatus Close(BridgeHandle handle) override { return m_adapter.Close(handle); }
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> to, std::uint32_t* received) override
    {
        return m_adapter.Read(handle, to, received);
    }
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> from, std::uint32_t* written) override
    {
        const BridgeStatus status = m_adapter.Write(handle, from, written);
        if (afterWrite)
            afterWrite();
        return status;
    }
    std::function<void()> afterWrite;  // as each command has gone out
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t transmit, std::uint8_t receive) override
    {
        return m_adapter.FlushBuffers(handle, transmit, receive);
    }
    BridgeStatus SetTimeouts(std::uint32_t read, std::uint32_t write) override
    {
        return m_adapter.SetTimeouts(read, write);
    }

private:
    SimulatedAdapter& m_adapter;
    std::string m_port;
};

}  // namespace rvz::test
