// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few USB calls the adapter layer makes, behind a small interface: libusb
// stands behind it in the program, a fake USB device in the tests.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rvz {

// Stall: the endpoint answered with a halt, which stays until it is cleared.
// Access: the user may not open the device. Busy: another program (or a
// kernel driver that cannot be detached) holds the interface.
enum class UsbResult { Ok, Timeout, NoDevice, Stall, Access, Busy, Error };

struct UsbDeviceInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint8_t bus = 0;      // where the device sits, so it can be opened again
    std::uint8_t address = 0;
    // The port path ("1-2.3"), which stays while the device stays in its
    // port (the address changes each time it is plugged in); empty where
    // the system does not tell it.
    std::string port;
};

struct UsbEndpointDescriptor {
    std::uint8_t address = 0;     // bit 7 set: IN
    std::uint8_t attributes = 0;  // bits 0-1: transfer type, 2 = bulk
};

struct UsbTransferResult {
    UsbResult result = UsbResult::Error;
    std::size_t transferred = 0;  // also valid with Timeout
};

class UsbDeviceHandle {
public:
    virtual ~UsbDeviceHandle() = default;  // closes the device
    // Endpoints of the interface's first alternate setting, from the descriptors.
    virtual std::vector<UsbEndpointDescriptor> InterfaceEndpoints(int interfaceNumber) = 0;
    // Claims the interface, detaching a kernel driver bound to it first.
    virtual UsbResult ClaimInterface(int interfaceNumber) = 0;
    virtual UsbResult ReleaseInterface(int interfaceNumber) = 0;
    // A control transfer without a data stage.
    virtual UsbResult Control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                              std::uint16_t index, unsigned timeoutMs) = 0;
    // Clears a halted endpoint, on the device and in the host. Only called
    // after the endpoint stalled, so the device has just answered.
    virtual UsbResult ClearHalt(std::uint8_t endpoint) = 0;
    // A bulk transfer in the endpoint's direction; returns after the data
    // moved, a short packet arrived, or the time-out passed. Every time-out
    // is at least 1 ms: 0 would mean no time-out at all.
    virtual UsbTransferResult Bulk(std::uint8_t endpoint, std::span<std::uint8_t> data, unsigned timeoutMs) = 0;
    // Whether a kernel driver is bound to the interface; nullopt when the
    // system cannot tell. For diagnosis only.
    virtual std::optional<bool> KernelDriverActive(int) { return std::nullopt; }
};

class UsbHost {
public:
    virtual ~UsbHost() = default;
    // Starts the USB library; false when there is no USB subsystem to use.
    virtual bool Start() = 0;
    virtual std::vector<UsbDeviceInfo> ListDevices() = 0;
    // Opens the listed device; null when it cannot be opened.
    virtual std::unique_ptr<UsbDeviceHandle> Open(const UsbDeviceInfo& device) = 0;
    // Why the last Open gave null (Access: no permission). For diagnosis.
    virtual UsbResult LastOpenError() const { return UsbResult::Error; }
    // The USB library's version, for reports; empty when unknown.
    virtual std::string Version() const { return {}; }
};

}  // namespace rvz
