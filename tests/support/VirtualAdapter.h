// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A virtual adapter at the kernel's interface: a umockdev testbed holds the
// sysfs entry and descriptors of a 10c4:ea61 device, and an ioctl handler
// answers its usbfs calls (capabilities, claim, control, clear halt, submit,
// reap and discard URBs) from the same simulated servo as the demo. The real
// libusb runs unchanged above it. The process must run under umockdev's
// preload library; Available() tells.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SimulatedAdapter.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace rvz::test {

// How the virtual adapter answers; every field can be changed between exchanges.
struct VirtualAdapterBehaviour {
    // 0: each reply comes in one packet; otherwise its first packet carries
    // this many bytes and the rest follows in a second packet.
    std::size_t firstPacketBytes = 0;
    // The reply reaches the bulk IN endpoint this long after its command,
    // plus up to replyJitter more; replies keep their order.
    std::chrono::milliseconds replyDelay{0};
    std::chrono::milliseconds replyJitter{0};
    // Whether the adapter's own answer to identify comes late too.
    bool lateIdentification = true;
    // The next command's reply is lost and the bulk IN endpoint halts: it
    // answers with a stall until its halt is cleared.
    bool stallIn = false;
    // Control requests never complete; the host must give up on them.
    bool ignoreControl = false;
    // Another program holds the interface: claiming it fails with EBUSY.
    bool interfaceBusy = false;
    // A kernel driver (the serial driver, as for the vendor's bridge chips)
    // is bound to the interface when the adapter is plugged in.
    bool kernelDriverBound = false;
};

class VirtualAdapter {
public:
    struct ControlRequest {
        std::uint8_t requestType;
        std::uint8_t request;
        std::uint16_t value;
        std::uint16_t index;
    };

    // Under the lock of the handler: the servo model, its registers and
    // the commands it received.
    template <typename Work>
    auto WithServo(Work&& work)
    {
        std::lock_guard lock(m_mutex);
        return work(m_servo);
    }
    void SetBehaviour(const VirtualAdapterBehaviour& behaviour);
    // From now on every I/O fails as on a device that was pulled out and
    // whose removal the system has not announced yet.
    void Vanish();
    // The device vanishes when the n-th bulk OUT transfer from now arrives.
    void VanishAtExchange(int n);
    bool Vanished() const;
    // The n-th bulk OUT transfer from now loses its reply and halts bulk IN.
    void StallAtExchange(int n);

    std::vector<ControlRequest> ControlRequests() const;
    int ClaimedInterfaces() const;  // claims minus releases
    int HaltsCleared() const;       // of the bulk IN endpoint
    bool KernelDriverBound() const;
    int KernelDriverDetaches() const;
    int KernelDriverAttaches() const;
    int Discarded() const;          // URBs the host gave up on

    const std::string& DevicePath() const { return m_sysPath; }
    const std::string& DeviceNode() const { return m_devNode; }
    std::uint8_t Port() const { return m_port; }
    std::uint8_t Address() const { return m_address; }
    // When the last bulk OUT transfer (a command) arrived, or the adapter
    // was plugged in, if none did: a launcher waits for a quiet spell before
    // it pulls the adapter out, so as not to tear a write.
    std::chrono::steady_clock::time_point LastCommandAt() const;

    struct Handler;  // the usbfs side, defined with the handler

private:
    friend class VirtualUsbBus;
    friend class VirtualAdapterAccess;
    VirtualAdapter(std::uint8_t port, std::uint8_t address);

    mutable std::mutex m_mutex;
    SimulatedAdapter m_servo;
    BridgeHandle m_servoHandle = kNullHandle;
    std::uint8_t m_port;
    std::uint8_t m_address;
    std::string m_sysPath;
    std::string m_devNode;
    std::unique_ptr<Handler> m_handler;
    // The bus's bookkeeping: whether the device is on the bus, and whether
    // its handler still answers at its node (an address taken again moves
    // the node to the newcomer).
    bool m_plugged = false;
    bool m_attached = false;
};

inline constexpr const char* kVirtualAdapterMissing =
    "needs umockdev's preload library: run under LD_PRELOAD=libumockdev-preload.so.0 (ctest does)";

// Whether a missing preload library must fail the tests instead of
// skipping them: under CI, and in the README's test command.
bool VirtualAdapterRequired();

// In a fixture's SetUp: goes on when the virtual adapter can run, fails
// when it is required, and skips otherwise.
#define RVZ_REQUIRE_VIRTUAL_ADAPTER()                                                                                 \
    do {                                                                                                               \
        if (!::rvz::test::VirtualUsbBus::Available()) {                                                                \
            if (::rvz::test::VirtualAdapterRequired())                                                                 \
                FAIL() << ::rvz::test::kVirtualAdapterMissing;                                                         \
            GTEST_SKIP() << ::rvz::test::kVirtualAdapterMissing;                                                       \
        }                                                                                                              \
    } while (false)

// A port of the bus's root hub: the device plugged in there is 1-PORT in
// sysfs, whatever its address, so it keeps its port path when it is pulled
// out and put back, and libusb reports [PORT] as its port numbers.
struct UsbPort {
    std::uint8_t number;
};

class VirtualUsbBus {
public:
    VirtualUsbBus();
    ~VirtualUsbBus();
    VirtualUsbBus(const VirtualUsbBus&) = delete;
    VirtualUsbBus& operator=(const VirtualUsbBus&) = delete;

    // True when the process runs under umockdev's preload library.
    static bool Available();

    // Plugs an adapter in at bus 1 with the given address, at the port of
    // the same number, and announces it to whoever listens for devices
    // (libusb, once it runs).
    VirtualAdapter& Plug(std::uint8_t address, bool announce = true);
    // Plugs an adapter in at the port, with the next free address as the
    // kernel gives them: one past the last one given, from 2 (the root hub
    // has 1) to 127 and round again. Throws when the port or address is taken.
    VirtualAdapter& Plug(UsbPort port, bool announce = true);
    VirtualAdapter& Plug(UsbPort port, std::uint8_t address, bool announce = true);
    // Pulls it out: I/O fails, the device node and sysfs entry go, and the
    // system announces the removal. Once only; later calls do nothing.
    void Unplug(VirtualAdapter& adapter);

    // The testbed's root, for a child process that should see the same bus.
    std::string RootDir() const;

private:
    void DetachHandler(VirtualAdapter& adapter);

    UMockdevTestbed* m_testbed;
    // Every adapter ever plugged in: a program may still hold one that was
    // pulled out, so they live as long as the bus.
    std::vector<std::unique_ptr<VirtualAdapter>> m_adapters;
    std::uint8_t m_nextAddress = 2;
};

}  // namespace rvz::test
