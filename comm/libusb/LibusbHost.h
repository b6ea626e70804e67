// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The USB calls of the adapter layer carried out by libusb-1.0.

#include "UsbHost.h"

struct libusb_context;

namespace rvz {

class LibusbHost final : public UsbHost {
public:
    LibusbHost() = default;
    ~LibusbHost() override;
    LibusbHost(const LibusbHost&) = delete;
    LibusbHost& operator=(const LibusbHost&) = delete;

    // Initialises libusb on first use, and tries again on later polls while it
    // cannot (a machine without a USB subsystem).
    bool Start() override;
    std::vector<UsbDeviceInfo> ListDevices() override;
    std::unique_ptr<UsbDeviceHandle> Open(const UsbDeviceInfo& device) override;
    UsbResult LastOpenError() const override { return m_lastOpenError; }
    std::string Version() const override;

private:
    libusb_context* m_context = nullptr;
    UsbResult m_lastOpenError = UsbResult::Ok;
};

}  // namespace rvz
