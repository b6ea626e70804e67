// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibusbHost.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <limits>

#include "AdapterNames.h"

namespace rvz {

namespace {

UsbResult ToResult(int status)
{
    if (status >= 0)
        return UsbResult::Ok;
    switch (status) {
    case LIBUSB_ERROR_TIMEOUT:
        return UsbResult::Timeout;
    case LIBUSB_ERROR_NO_DEVICE:
        return UsbResult::NoDevice;
    case LIBUSB_ERROR_PIPE:
        return UsbResult::Stall;
    case LIBUSB_ERROR_ACCESS:
        return UsbResult::Access;
    case LIBUSB_ERROR_BUSY:
        return UsbResult::Busy;
    default:
        return UsbResult::Error;
    }
}

// libusb reads a time-out of 0 as "wait for ever".
unsigned AtLeastOneMs(unsigned timeoutMs) { return std::max(1u, timeoutMs); }

class LibusbDeviceHandle final : public UsbDeviceHandle {
public:
    explicit LibusbDeviceHandle(libusb_device_handle* handle) : m_handle(handle) {}
    ~LibusbDeviceHandle() override { libusb_close(m_handle); }
    LibusbDeviceHandle(const LibusbDeviceHandle&) = delete;
    LibusbDeviceHandle& operator=(const LibusbDeviceHandle&) = delete;

    std::vector<UsbEndpointDescriptor> InterfaceEndpoints(int interfaceNumber) override
    {
        std::vector<UsbEndpointDescriptor> endpoints;
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(libusb_get_device(m_handle), &config) != 0 || !config)
            return endpoints;
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            const libusb_interface& interface = config->interface[i];
            if (interface.num_altsetting < 1 || interface.altsetting[0].bInterfaceNumber != interfaceNumber)
                continue;
            const libusb_interface_descriptor& setting = interface.altsetting[0];
            for (int e = 0; e < setting.bNumEndpoints; ++e)
                endpoints.push_back({setting.endpoint[e].bEndpointAddress, setting.endpoint[e].bmAttributes});
        }
        libusb_free_config_descriptor(config);
        return endpoints;
    }

    UsbResult ClaimInterface(int interfaceNumber) override
    {
        // A kernel driver bound to the interface is detached while it is
        // claimed, and attached again when it is released.
        libusb_set_auto_detach_kernel_driver(m_handle, 1);
        return ToResult(libusb_claim_interface(m_handle, interfaceNumber));
    }

    UsbResult ReleaseInterface(int interfaceNumber) override
    {
        return ToResult(libusb_release_interface(m_handle, interfaceNumber));
    }

    UsbResult Control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                      unsigned timeoutMs) override
    {
        return ToResult(
            libusb_control_transfer(m_handle, requestType, request, value, index, nullptr, 0, AtLeastOneMs(timeoutMs)));
    }

    std::optional<bool> KernelDriverActive(int interfaceNumber) override
    {
        const int active = libusb_kernel_driver_active(m_handle, interfaceNumber);
        if (active < 0)
            return std::nullopt;
        return active == 1;
    }

    UsbResult ClearHalt(std::uint8_t endpoint) override { return ToResult(libusb_clear_halt(m_handle, endpoint)); }

    UsbTransferResult Bulk(std::uint8_t endpoint, std::span<std::uint8_t> data, unsigned timeoutMs) override
    {
        if (data.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
            return {UsbResult::Error, 0};
        int transferred = 0;
        const int status = libusb_bulk_transfer(m_handle, endpoint, data.data(), static_cast<int>(data.size()),
                                                &transferred, AtLeastOneMs(timeoutMs));
        return {ToResult(status), static_cast<std::size_t>(std::max(transferred, 0))};
    }

private:
    libusb_device_handle* m_handle;
};

}  // namespace

LibusbHost::~LibusbHost()
{
    if (m_context)
        libusb_exit(m_context);
}

bool LibusbHost::Start()
{
    if (!m_context && libusb_init(&m_context) != 0)
        m_context = nullptr;
    return m_context != nullptr;
}

std::string LibusbHost::Version() const
{
    const libusb_version* version = libusb_get_version();
    return std::to_string(version->major) + "." + std::to_string(version->minor) + "." +
           std::to_string(version->micro) + "." + std::to_string(version->nano);
}

std::vector<UsbDeviceInfo> LibusbHost::ListDevices()
{
    std::vector<UsbDeviceInfo> devices;
    if (!m_context)
        return devices;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0)
            continue;
        // USB allows seven tiers of hubs below the root.
        std::array<std::uint8_t, 7> ports{};
        const int depth = libusb_get_port_numbers(list[i], ports.data(), static_cast<int>(ports.size()));
        const std::uint8_t bus = libusb_get_bus_number(list[i]);
        devices.push_back({descriptor.idVendor, descriptor.idProduct, bus, libusb_get_device_address(list[i]),
                           PortPath(bus, std::span(ports).first(static_cast<std::size_t>(std::max(depth, 0))))});
    }
    if (list)
        libusb_free_device_list(list, 1);
    return devices;
}

std::unique_ptr<UsbDeviceHandle> LibusbHost::Open(const UsbDeviceInfo& device)
{
    if (!m_context)
        return nullptr;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    libusb_device_handle* handle = nullptr;
    m_lastOpenError = UsbResult::NoDevice;
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(list[i]) != device.bus || libusb_get_device_address(list[i]) != device.address)
            continue;
        const int status = libusb_open(list[i], &handle);
        m_lastOpenError = ToResult(status);
        if (status != 0)
            handle = nullptr;  // no permission, or gone since it was listed
        break;
    }
    if (list)
        libusb_free_device_list(list, 1);
    return handle ? std::make_unique<LibusbDeviceHandle>(handle) : nullptr;
}

}  // namespace rvz
