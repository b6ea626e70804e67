// SPDX-License-Identifier: GPL-3.0-or-later
#include "VirtualAdapter.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <stdexcept>
#include <utility>

#include "Protocol.h"

namespace rvz::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kBulkIn = 0x81;
constexpr std::uint8_t kBulkOut = 0x01;
constexpr std::size_t kSetupSize = 8;
constexpr std::uint8_t kRequestClearFeature = 0x01;
constexpr std::uint8_t kRecipientEndpoint = 0x02;
// The driver Linux binds to the vendor's bridge chips.
constexpr const char* kKernelDriver = "cp210x";
// A second packet of a split reply follows its first after this long.
constexpr std::chrono::milliseconds kSplitGap{3};

// Device descriptor, then the configuration: one vendor interface, number 0,
// with a bulk IN and a bulk OUT endpoint of 64-byte packets.
constexpr std::uint8_t kDescriptors[] = {
    0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, 0xC4, 0x10, 0x61, 0xEA, 0x00, 0x01, 0x01, 0x02, 0x03, 0x01,
    0x09, 0x02, 0x20, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
    0x09, 0x04, 0x00, 0x00, 0x02, 0xFF, 0x00, 0x00, 0x02,
    0x07, 0x05, kBulkIn, 0x02, 0x40, 0x00, 0x00,
    0x07, 0x05, kBulkOut, 0x02, 0x40, 0x00, 0x00,
};

// Holds one reference to resolved ioctl data.
class DataRef {
public:
    explicit DataRef(UMockdevIoctlData* data = nullptr) : m_data(data) {}
    DataRef(DataRef&& other) noexcept : m_data(std::exchange(other.m_data, nullptr)) {}
    DataRef& operator=(DataRef&& other) noexcept
    {
        std::swap(m_data, other.m_data);
        return *this;
    }
    ~DataRef()
    {
        if (m_data)
            umockdev_ioctl_data_unref(m_data);
    }
    UMockdevIoctlData* get() const { return m_data; }
    UMockdevIoctlData* operator->() const { return m_data; }

private:
    UMockdevIoctlData* m_data;
};

}  // namespace

// The usbfs side of one virtual adapter. Its callbacks run on umockdev's
// own thread, under the adapter's lock.
struct VirtualAdapter::Handler {
    struct Urb {
        UMockdevIoctlClient* client = nullptr;  // the program that submitted it
        DataRef data;    // the submitted struct usbdevfs_urb, resolved
        DataRef buffer;  // its buffer
        std::uint8_t type = 0;
        std::uint8_t endpoint = 0;
        bool done = false;  // completed, waiting to be reaped
        int status = 0;
        int actual = 0;
    };
    struct Chunk {
        std::vector<std::uint8_t> bytes;
        Clock::time_point readyAt;
    };

    UMockdevIoctlBase* base = nullptr;
    VirtualAdapterBehaviour behaviour;
    bool gone = false;
    bool inHalted = false;
    int exchangesToVanish = -1;
    int exchangesToStall = -1;
    std::deque<Urb> flying;
    std::deque<Chunk> reply;
    std::vector<ControlRequest> controls;
    int claimed = 0;
    // The program whose claim holds the interface; another one's claim is
    // refused as busy, as the kernel refuses it.
    UMockdevIoctlClient* owner = nullptr;
    // Every program that has the device node open, referenced until it closes.
    std::vector<UMockdevIoctlClient*> clients;
    bool driverBound = false;
    int detaches = 0;
    int attaches = 0;
    std::minstd_rand random{20261208};
    Clock::time_point lastCommandAt = Clock::now();
    int haltsCleared = 0;
    int discarded = 0;
};

namespace {

void Complete(UMockdevIoctlClient* client, int error)
{
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

}  // namespace

namespace {

std::string NodeOf(std::uint8_t address)
{
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03u", address);
    return node;
}

}  // namespace

VirtualAdapter::VirtualAdapter(std::uint8_t port, std::uint8_t address)
    : m_servo(true), m_port(port), m_address(address), m_sysPath("/sys/devices/1-" + std::to_string(port)),
      m_devNode(NodeOf(address)), m_handler(std::make_unique<Handler>())
{
    m_servo.Open(0, &m_servoHandle);
}

std::chrono::steady_clock::time_point VirtualAdapter::LastCommandAt() const
{
    std::lock_guard lock(m_mutex);
    return m_handler->lastCommandAt;
}

void VirtualAdapter::SetBehaviour(const VirtualAdapterBehaviour& behaviour)
{
    std::lock_guard lock(m_mutex);
    m_handler->behaviour = behaviour;
    m_handler->driverBound = behaviour.kernelDriverBound && m_handler->claimed == 0;
}

bool VirtualAdapter::Vanished() const
{
    std::lock_guard lock(m_mutex);
    return m_handler->gone;
}

void VirtualAdapter::StallAtExchange(int n)
{
    std::lock_guard lock(m_mutex);
    m_handler->exchangesToStall = n;
}

bool VirtualAdapter::KernelDriverBound() const
{
    std::lock_guard lock(m_mutex);
    return m_handler->driverBound;
}

int VirtualAdapter::KernelDriverDetaches() const
{
    std::lock_guard lock(m_mutex);
    return m_handler->detaches;
}

int VirtualAdapter::KernelDriverAttaches() const
{
    std::lock_guard lock(m_mutex);
    return m_handler->attaches;
}

void VirtualAdapter::Vanish()
{
    std::lock_guard lock(m_mutex);
    m_handler->gone = true;
}

void VirtualAdapter::VanishAtExchange(int n)
{
    std::lock_guard lock(m_mutex);
    m_handler->exchangesToVanish = n;
}

std::vector<VirtualAdapter::ControlRequest> VirtualAdapter::ControlRequests() const
{
    std::lock_guard lock(m_mutex);
    return m_handler->controls;
}

int VirtualAdapter::ClaimedInterfaces() const
{
    std::lock_guard lock(m_mutex);
    return m_handler->claimed;
}

int VirtualAdapter::HaltsCleared() const
{
    std::lock_guard lock(m_mutex);
    return m_handler->haltsCleared;
}

int VirtualAdapter::Discarded() const
{
    std::lock_guard lock(m_mutex);
    return m_handler->discarded;
}

namespace {

// The conversation with one adapter, kept apart from the GObject plumbing.
class UsbfsAnswers {
public:
    UsbfsAnswers(VirtualAdapter::Handler& handler, SimulatedAdapter& servo, BridgeHandle servoHandle)
        : m_h(handler), m_servo(servo), m_servoHandle(servoHandle)
    {
    }

    bool Answer(UMockdevIoctlClient* client)
    {
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        if (m_h.gone && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB &&
            request != USBDEVFS_DISCARDURB) {
            Complete(client, ENODEV);
            return true;
        }
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            DataRef caps(umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr));
            const guint32 value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                  USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
            std::memcpy(caps->data, &value, sizeof value);
            Complete(client, 0);
            return true;
        }
        case USBDEVFS_GETDRIVER: {
            if (!m_h.driverBound) {
                Complete(client, ENODATA);
                return true;
            }
            DataRef driver(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr));
            auto* named = reinterpret_cast<usbdevfs_getdriver*>(driver->data);
            std::snprintf(named->driver, sizeof named->driver, "%s", kKernelDriver);
            Complete(client, 0);
            return true;
        }
        case USBDEVFS_IOCTL:
            DriverIoctl(client, arg);
            return true;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:
            Claim(client, request == USBDEVFS_DISCONNECT_CLAIM);
            return true;
        case USBDEVFS_RELEASEINTERFACE:
            if (client != m_h.owner) {
                Complete(client, EINVAL);
                return true;
            }
            if (--m_h.claimed == 0)
                m_h.owner = nullptr;
            Complete(client, 0);
            return true;
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP: {
            DataRef endpoint(umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr));
            unsigned int address = 0;
            std::memcpy(&address, endpoint->data, sizeof address);
            if (request == USBDEVFS_CLEAR_HALT)
                ClearHalt(static_cast<std::uint8_t>(address));
            Complete(client, 0);
            return true;
        }
        case USBDEVFS_SUBMITURB:
            // Another program's claim keeps this one's transfers out.
            if (m_h.owner != nullptr && m_h.owner != client) {
                Complete(client, EBUSY);
                return true;
            }
            Submit(client, arg);
            return true;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            Reap(client, arg);
            return true;
        case USBDEVFS_DISCARDURB:
            Discard(client, arg);
            return true;
        default:
            return false;
        }
    }

private:
    // A claim fails while the kernel driver holds the interface; the
    // disconnect-and-claim detaches it first.
    void Claim(UMockdevIoctlClient* client, bool detachFirst)
    {
        const bool otherProgram = m_h.owner != nullptr && m_h.owner != client;
        if (m_h.behaviour.interfaceBusy || otherProgram || (m_h.driverBound && !detachFirst)) {
            Complete(client, EBUSY);
            return;
        }
        if (m_h.driverBound) {
            m_h.driverBound = false;
            ++m_h.detaches;
        }
        ++m_h.claimed;
        m_h.owner = client;
        Complete(client, 0);
    }

    // USBDEVFS_IOCTL carries the driver's detach (DISCONNECT) and re-attach (CONNECT).
    void DriverIoctl(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
    {
        DataRef command(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr));
        const auto* ioctl = reinterpret_cast<const usbdevfs_ioctl*>(command->data);
        if (ioctl->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
            if (!m_h.driverBound) {
                Complete(client, ENODATA);
                return;
            }
            m_h.driverBound = false;
            ++m_h.detaches;
            Complete(client, 0);
            return;
        }
        if (ioctl->ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
            // Only an interface nobody claims goes back to its driver.
            if (m_h.claimed > 0 || m_h.driverBound || !m_h.behaviour.kernelDriverBound) {
                Complete(client, m_h.claimed > 0 ? EBUSY : ENODATA);
                return;
            }
            m_h.driverBound = true;
            ++m_h.attaches;
            Complete(client, 0);
            return;
        }
        Complete(client, ENOTTY);
    }

    void ClearHalt(std::uint8_t endpoint)
    {
        if (endpoint == kBulkIn) {
            m_h.inHalted = false;
            ++m_h.haltsCleared;
        }
    }

    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
    {
        VirtualAdapter::Handler::Urb urb{client,
                                         DataRef(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr)),
                                         DataRef()};
        auto* raw = reinterpret_cast<usbdevfs_urb*>(urb.data->data);
        urb.buffer = DataRef(umockdev_ioctl_data_resolve(urb.data.get(), G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                                         static_cast<gsize>(raw->buffer_length), nullptr));
        urb.type = raw->type;
        urb.endpoint = raw->endpoint;
        const std::span<std::uint8_t> bytes(urb.buffer->data, static_cast<std::size_t>(raw->buffer_length));

        if (urb.type == USBDEVFS_URB_TYPE_CONTROL) {
            if (bytes.size() < kSetupSize) {
                Complete(client, EINVAL);
                return;
            }
            const VirtualAdapter::ControlRequest control{bytes[0], bytes[1],
                                                         static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8),
                                                         static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8)};
            // One that is ignored stays in flight until the host discards it.
            if (!m_h.behaviour.ignoreControl) {
                m_h.controls.push_back(control);
                if (control.request == kRequestClearFeature && (control.requestType & 0x1F) == kRecipientEndpoint)
                    ClearHalt(static_cast<std::uint8_t>(control.index));
                urb.done = true;
            }
        } else if (urb.endpoint == kBulkOut) {
            m_h.lastCommandAt = Clock::now();
            if (m_h.exchangesToVanish > 0 && --m_h.exchangesToVanish == 0) {
                m_h.gone = true;
                Complete(client, ENODEV);
                return;
            }
            if (m_h.exchangesToStall > 0 && --m_h.exchangesToStall == 0)
                m_h.behaviour.stallIn = true;
            Command(bytes);
            urb.done = true;
            urb.actual = raw->buffer_length;
        } else if (urb.endpoint != kBulkIn) {
            Complete(client, EINVAL);
            return;
        }
        m_h.flying.push_back(std::move(urb));
        Complete(client, 0);
    }

    // The servo model answers the command; its reply is cut into the
    // packets that will reach bulk IN.
    void Command(std::span<const std::uint8_t> command)
    {
        if (std::exchange(m_h.behaviour.stallIn, false)) {
            m_h.inHalted = true;
            return;
        }
        std::uint32_t written = 0;
        m_servo.Write(m_servoHandle, command, &written);
        std::array<std::uint8_t, 512> answer{};
        std::uint32_t received = 0;
        m_servo.Read(m_servoHandle, answer, &received);
        if (received == 0)
            return;
        const bool identify = command.size() == 2 && command[0] == protocol::kClassIdentify;
        const bool late = !identify || m_h.behaviour.lateIdentification;
        auto readyAt = Clock::now() + (late ? m_h.behaviour.replyDelay : std::chrono::milliseconds(0));
        if (late && m_h.behaviour.replyJitter.count() > 0)
            readyAt += std::chrono::milliseconds(std::uniform_int_distribution<long>(
                0, static_cast<long>(m_h.behaviour.replyJitter.count()))(m_h.random));
        // One serial line: a reply never overtakes the one before it.
        if (!m_h.reply.empty())
            readyAt = std::max(readyAt, m_h.reply.back().readyAt);
        const std::size_t first = m_h.behaviour.firstPacketBytes;
        if (first == 0 || first >= received) {
            m_h.reply.push_back({{answer.begin(), answer.begin() + received}, readyAt});
            return;
        }
        m_h.reply.push_back({{answer.begin(), answer.begin() + static_cast<long>(first)}, readyAt});
        m_h.reply.push_back({{answer.begin() + static_cast<long>(first), answer.begin() + received}, readyAt + kSplitGap});
    }

    // Finishes the first URB of the client's that can finish: a completed
    // one, or a bulk IN transfer whose packet is due (or whose endpoint stalls).
    VirtualAdapter::Handler::Urb* NextFinished(UMockdevIoctlClient* client)
    {
        for (auto& urb : m_h.flying) {
            if (urb.client != client)
                continue;
            if (urb.done)
                return &urb;
            if (m_h.gone) {
                urb.done = true;
                urb.status = -ESHUTDOWN;
                return &urb;
            }
            if (urb.type != USBDEVFS_URB_TYPE_BULK || urb.endpoint != kBulkIn)
                continue;
            if (m_h.inHalted) {
                urb.done = true;
                urb.status = -EPIPE;
                return &urb;
            }
            if (m_h.reply.empty() || m_h.reply.front().readyAt > Clock::now())
                continue;
            auto& packet = m_h.reply.front().bytes;
            const auto size = std::min<std::size_t>(packet.size(), static_cast<std::size_t>(urb.buffer->data_len));
            std::copy_n(packet.begin(), size, urb.buffer->data);
            packet.erase(packet.begin(), packet.begin() + static_cast<long>(size));
            if (packet.empty())
                m_h.reply.pop_front();
            urb.actual = static_cast<int>(size);
            urb.done = true;
            return &urb;
        }
        return nullptr;
    }

    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
    {
        VirtualAdapter::Handler::Urb* urb = NextFinished(client);
        if (!urb) {
            Complete(client, m_h.gone ? ENODEV : EAGAIN);
            return;
        }
        auto* raw = reinterpret_cast<usbdevfs_urb*>(urb->data->data);
        raw->status = urb->status;
        raw->actual_length = urb->actual;
        DataRef pointer(umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr));
        umockdev_ioctl_data_set_ptr(pointer.get(), 0, urb->data.get());
        const auto it = std::find_if(m_h.flying.begin(), m_h.flying.end(), [&](const auto& u) { return &u == urb; });
        m_h.flying.erase(it);
        Complete(client, 0);
    }

    void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
    {
        // The argument is the URB's address in the client.
        gulong address = 0;
        std::memcpy(&address, arg->data, sizeof address);
        for (auto& urb : m_h.flying) {
            if (urb.client != client || urb.data->client_addr != address || urb.done)
                continue;
            urb.done = true;
            urb.status = -ENOENT;
            urb.actual = 0;
            ++m_h.discarded;
            Complete(client, 0);
            return;
        }
        Complete(client, EINVAL);
    }

    VirtualAdapter::Handler& m_h;
    SimulatedAdapter& m_servo;
    BridgeHandle m_servoHandle;
};

}  // namespace

// ---------------------------------------------------------------- the bus

class VirtualAdapterAccess {
public:
    static gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        auto* adapter = static_cast<VirtualAdapter*>(self);
        return Answer(*adapter, client) ? TRUE : FALSE;
    }
    static bool Answer(VirtualAdapter& adapter, UMockdevIoctlClient* client);

    // A program opened the device node: it is followed until it closes it,
    // by its own hand or by ending.
    static void ClientConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        auto* adapter = static_cast<VirtualAdapter*>(self);
        std::lock_guard lock(adapter->m_mutex);
        adapter->m_handler->clients.push_back(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
    }

    // A program that closed the node, or ended without releasing what it
    // held (killed, say), leaves no claim and no transfer behind for the
    // next one, as the kernel cleans up after a closed file. Under the lock.
    static void ForgetClosed(VirtualAdapter::Handler& h)
    {
        std::erase_if(h.clients, [&](UMockdevIoctlClient* client) {
            if (umockdev_ioctl_client_get_connected(client))
                return false;
            std::erase_if(h.flying, [&](const auto& urb) { return urb.client == client; });
            if (h.owner == client) {
                h.owner = nullptr;
                h.claimed = 0;
            }
            g_object_unref(client);
            return true;
        });
    }

    // The bus goes: nothing may call back into the adapter any more.
    static void Detach(VirtualAdapter& adapter)
    {
        std::lock_guard lock(adapter.m_mutex);
        g_signal_handlers_disconnect_by_data(adapter.m_handler->base, &adapter);
        for (UMockdevIoctlClient* client : adapter.m_handler->clients)
            g_object_unref(client);
        adapter.m_handler->clients.clear();
    }
};

// umockdev's own check asks which library provides open(), which is the
// sanitizer's interceptor when AddressSanitizer comes first; the preload
// still serves every call the interceptor passes on.
bool VirtualAdapterRequired()
{
    for (const char* name : {"CI", "RVZ_REQUIRE_VIRTUAL_ADAPTER"}) {
        const char* value = std::getenv(name);
        if (value && *value && std::strcmp(value, "0") != 0 && std::strcmp(value, "false") != 0)
            return true;
    }
    return false;
}

bool VirtualUsbBus::Available()
{
    const char* preload = std::getenv("LD_PRELOAD");
    return umockdev_in_mock_environment() || (preload && std::strstr(preload, "libumockdev-preload"));
}

VirtualUsbBus::VirtualUsbBus() : m_testbed(umockdev_testbed_new())
{
    if (!m_testbed)
        throw std::runtime_error("umockdev could not make a testbed");
    // A testbed is a machine of its own: its programs keep their session
    // notes in its own runtime folder, so that testbeds side by side, whose
    // adapters sit at the same bus and address, know nothing of each other.
    const std::string runtime = RootDir() + "/run";
    ::mkdir(runtime.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}

VirtualUsbBus::~VirtualUsbBus()
{
    for (auto& adapter : m_adapters)
        DetachHandler(*adapter);
    g_object_unref(m_testbed);
}

void VirtualUsbBus::DetachHandler(VirtualAdapter& adapter)
{
    if (!std::exchange(adapter.m_attached, false))
        return;
    umockdev_testbed_detach_ioctl(m_testbed, adapter.m_devNode.c_str(), nullptr);
    VirtualAdapterAccess::Detach(adapter);
    g_clear_object(&adapter.m_handler->base);
}

std::string VirtualUsbBus::RootDir() const
{
    gchar* root = umockdev_testbed_get_root_dir(m_testbed);
    std::string dir(root);
    g_free(root);
    return dir;
}

VirtualAdapter& VirtualUsbBus::Plug(std::uint8_t address, bool announce)
{
    return Plug(UsbPort{address}, address, announce);
}

VirtualAdapter& VirtualUsbBus::Plug(UsbPort port, bool announce)
{
    for (int tried = 2; tried <= 127; ++tried) {
        const std::uint8_t address = m_nextAddress;
        m_nextAddress = static_cast<std::uint8_t>(address >= 127 ? 2 : address + 1);
        const bool taken = std::any_of(m_adapters.begin(), m_adapters.end(),
                                       [&](const auto& a) { return a->m_plugged && a->m_address == address; });
        if (!taken)
            return Plug(port, address, announce);
    }
    throw std::logic_error("every address on the virtual bus is taken");
}

VirtualAdapter& VirtualUsbBus::Plug(UsbPort port, std::uint8_t address, bool announce)
{
    for (const auto& other : m_adapters) {
        if (!other->m_plugged)
            continue;
        if (other->m_port == port.number)
            throw std::logic_error("port 1-" + std::to_string(port.number) + " of the virtual bus is taken");
        if (other->m_address == address)
            throw std::logic_error("address " + std::to_string(address) + " on the virtual bus is taken");
    }
    // An address comes round again long after its last device was pulled
    // out; the node's handler goes over to the newcomer.
    for (const auto& old : m_adapters)
        if (old->m_address == address)
            DetachHandler(*old);
    m_nextAddress = static_cast<std::uint8_t>(address >= 127 ? 2 : address + 1);
    auto adapter = std::unique_ptr<VirtualAdapter>(new VirtualAdapter(port.number, address));
    const std::string name = "1-" + std::to_string(port.number);
    const char* node = adapter->m_devNode.c_str();

    adapter->m_handler->base = umockdev_ioctl_base_new();
    g_signal_connect_after(adapter->m_handler->base, "handle-ioctl", G_CALLBACK(VirtualAdapterAccess::HandleIoctl),
                           adapter.get());
    g_signal_connect(adapter->m_handler->base, "client-connected", G_CALLBACK(VirtualAdapterAccess::ClientConnected),
                     adapter.get());
    // The handler is in place before the device appears, so an open that
    // follows the announcement is answered.
    if (!umockdev_testbed_attach_ioctl(m_testbed, node, adapter->m_handler->base, nullptr)) {
        g_clear_object(&adapter->m_handler->base);
        throw std::runtime_error("umockdev could not attach the ioctl handler");
    }
    adapter->m_attached = true;

    const std::string description = "P: /devices/" + name + "\nN: " + (node + 5) +
                                    "\nE: SUBSYSTEM=usb\nE: DRIVER=usb\nE: DEVTYPE=usb_device"
                                    "\nE: DEVNAME=" + node + "\nE: BUSNUM=001\nE: DEVNUM=" + (node + 17) +
                                    "\nE: PRODUCT=10c4/ea61/100"
                                    "\nA: busnum=1\\n\nA: devnum=" + std::to_string(address) +
                                    "\\n\nA: bConfigurationValue=1\\n\nA: speed=12\\n"
                                    "\nA: idVendor=10c4\\n\nA: idProduct=ea61\\n\nH: descriptors=";
    std::string hex;
    for (std::uint8_t byte : kDescriptors) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", byte);
        hex += two;
    }
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(m_testbed, (description + hex + "\n").c_str(), &error)) {
        const std::string message = error ? error->message : "unknown";
        g_clear_error(&error);
        DetachHandler(*adapter);
        throw std::runtime_error("umockdev could not add the device: " + message);
    }
    adapter->m_plugged = true;
    // Announced, so that a running libusb learns of the new device.
    if (announce)
        umockdev_testbed_uevent(m_testbed, adapter->m_sysPath.c_str(), "add");
    m_adapters.push_back(std::move(adapter));
    return *m_adapters.back();
}

void VirtualUsbBus::Unplug(VirtualAdapter& adapter)
{
    if (!std::exchange(adapter.m_plugged, false))
        return;
    adapter.Vanish();
    umockdev_testbed_uevent(m_testbed, adapter.m_sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, adapter.m_sysPath.c_str());
}

bool VirtualAdapterAccess::Answer(VirtualAdapter& adapter, UMockdevIoctlClient* client)
{
    std::lock_guard lock(adapter.m_mutex);
    ForgetClosed(*adapter.m_handler);
    UsbfsAnswers answers(*adapter.m_handler, adapter.m_servo, adapter.m_servoHandle);
    return answers.Answer(client);
}

}  // namespace rvz::test
