// SPDX-License-Identifier: GPL-3.0-or-later
// The USB layer over a host scripted by the input: whatever the devices
// and transfers answer, the bridge returns no more bytes than were asked for
// and touches nothing out of bounds.
#include <memory>

#include "AdapterIds.h"
#include "AdapterUsbBridge.h"
#include "FuzzInput.h"

using namespace rvz;

namespace {

UsbResult Result(fuzz::FuzzInput& input)
{
    switch (input.Byte() % 8) {
    case 0:
        return UsbResult::Timeout;
    case 1:
        return UsbResult::NoDevice;
    case 2:
        return UsbResult::Stall;
    case 3:
        return UsbResult::Error;
    default:
        return UsbResult::Ok;
    }
}

class FuzzedHandle final : public UsbDeviceHandle {
public:
    explicit FuzzedHandle(fuzz::FuzzInput& input) : m_input(input) {}
    std::vector<UsbEndpointDescriptor> InterfaceEndpoints(int) override
    {
        std::vector<UsbEndpointDescriptor> endpoints;
        for (int i = m_input.Byte() % 4; i > 0; --i)
            endpoints.push_back({m_input.Byte(), m_input.Byte()});
        if (m_input.Byte() % 4 != 0)
            endpoints.insert(endpoints.end(), {{0x81, 0x02}, {0x01, 0x02}});
        return endpoints;
    }
    UsbResult ClaimInterface(int) override { return Result(m_input); }
    UsbResult ReleaseInterface(int) override { return Result(m_input); }
    UsbResult Control(std::uint8_t, std::uint8_t, std::uint16_t, std::uint16_t, unsigned timeoutMs) override
    {
        RVZ_FUZZ_REQUIRE(timeoutMs > 0);
        return Result(m_input);
    }
    UsbResult ClearHalt(std::uint8_t) override { return Result(m_input); }
    UsbTransferResult Bulk(std::uint8_t, std::span<std::uint8_t> data, unsigned timeoutMs) override
    {
        RVZ_FUZZ_REQUIRE(timeoutMs > 0);
        const UsbResult result = Result(m_input);
        const std::size_t count = std::min<std::size_t>(m_input.Byte(), data.size());
        for (std::size_t i = 0; i < count; ++i)
            data[i] = m_input.Byte();
        // A host may claim more than the buffer; the bridge must not believe it.
        const std::size_t claimed = m_input.Byte() % 16 == 0 ? count + m_input.Byte() : count;
        return {result, claimed};
    }

private:
    fuzz::FuzzInput& m_input;
};

class FuzzedHost final : public UsbHost {
public:
    explicit FuzzedHost(fuzz::FuzzInput& input) : m_input(input) {}
    bool Start() override { return m_input.Byte() % 16 != 0; }
    std::vector<UsbDeviceInfo> ListDevices() override
    {
        std::vector<UsbDeviceInfo> devices;
        for (int i = m_input.Byte() % 4; i > 0; --i) {
            const bool adapter = m_input.Byte() % 4 != 0;
            devices.push_back({adapter ? kAdapterUsbIds[1].vendorId : m_input.Integral<std::uint16_t>(),
                               adapter ? kAdapterUsbIds[1].productId : m_input.Integral<std::uint16_t>(), 1,
                               static_cast<std::uint8_t>(m_input.Byte() % 3), "1-" + std::to_string(i)});
        }
        return devices;
    }
    std::unique_ptr<UsbDeviceHandle> Open(const UsbDeviceInfo&) override
    {
        if (m_input.Byte() % 8 == 0)
            return nullptr;
        return std::make_unique<FuzzedHandle>(m_input);
    }

private:
    fuzz::FuzzInput& m_input;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    FuzzedHost host(input);
    AdapterUsbBridge bridge(host);
    bridge.SetTimeouts(input.Byte() % 3, input.Byte() % 3);  // 0 must never reach libusb
    BridgeHandle handle = kNullHandle;
    std::array<std::uint8_t, 600> buffer{};
    for (int step = 0; step < 32 && !input.Empty(); ++step) {
        switch (input.Byte() % 6) {
        case 0: {
            std::uint32_t count = 0;
            bridge.GetNumDevices(&count);
            break;
        }
        case 1:
            if (handle == kNullHandle && bridge.Open(input.Byte() % 2, &handle) != kBridgeSuccess)
                handle = kNullHandle;
            break;
        case 2: {
            const std::size_t wanted = input.Byte() % 40;
            std::uint32_t received = 0;
            if (bridge.Read(handle, std::span(buffer).first(wanted), &received) == kBridgeSuccess)
                RVZ_FUZZ_REQUIRE(received <= wanted);
            break;
        }
        case 3: {
            std::uint32_t written = 0;
            const std::size_t length = input.Byte() % 30;
            if (bridge.Write(handle, std::span(buffer).first(length), &written) == kBridgeSuccess)
                RVZ_FUZZ_REQUIRE(written <= length);
            break;
        }
        case 4:
            bridge.FlushBuffers(handle, 0xFF, input.Byte());
            break;
        default:
            bridge.Close(handle);
            handle = kNullHandle;
            break;
        }
    }
    return 0;
}
