// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows bridge over a vendor library whose every answer comes from
// the input: statuses, handles, counts and bytes. Each status reaches the
// caller unchanged, the handle the library gave comes back to it on every
// later call, and a read never reports more than was wanted, whatever the
// library claims; the sanitizers watch every buffer on the way.
#include <array>
#include <optional>

#include "Comm.h"
#include "FuzzInput.h"
#include "ServoConfig.h"
#include "Settings.h"
#include "SiUsbXpBridge.h"

using namespace rvz;
using siusbxp::Dword;
using siusbxp::Handle;
using siusbxp::Status;

namespace {

// The scripted library: one input for all calls of one run.
struct Library {
    fuzz::FuzzInput* input = nullptr;
    Handle opened = nullptr;
    std::optional<Status> last;  // the status the latest call returned
    Dword claimed = 0;           // the count the latest read claimed
    bool handleKept = true;      // every call got the handle the open gave

    Status Answer()
    {
        const std::uint8_t pick = input->Byte();
        const Status status = pick % 4 == 0 ? static_cast<Status>(input->Integral<std::uint32_t>()) : 0;
        last = status;
        return status;
    }
    void Check(Handle handle) { handleKept = handleKept && handle == opened; }
};
Library g_library;

Status GetNumDevices(Dword* count)
{
    *count = g_library.input->Integral<Dword>();
    return g_library.Answer();
}

Status Open(Dword, Handle* handle)
{
    g_library.opened = reinterpret_cast<Handle>(g_library.input->Integral<std::uintptr_t>());
    *handle = g_library.opened;
    return g_library.Answer();
}

Status Close(Handle handle)
{
    g_library.Check(handle);
    return g_library.Answer();
}

// Fills what it says it received, up to what was wanted, and may claim
// any count at all.
Status Read(Handle handle, void* buffer, Dword wanted, Dword* received, void*)
{
    g_library.Check(handle);
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const Dword delivered = std::min<Dword>(wanted, g_library.input->Byte());
    for (Dword i = 0; i < delivered; ++i)
        bytes[i] = i == 0 && g_library.input->Byte() % 8 != 0 ? 0x02 : g_library.input->Byte();
    *received = g_library.input->Byte() % 8 == 0 ? g_library.input->Integral<Dword>() : delivered;
    g_library.claimed = *received;
    return g_library.Answer();
}

Status Write(Handle handle, void* buffer, Dword count, Dword* written, void*)
{
    g_library.Check(handle);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    volatile std::uint8_t sum = 0;
    for (Dword i = 0; i < count; ++i)
        sum = static_cast<std::uint8_t>(sum + bytes[i]);  // every byte offered must be readable
    *written = g_library.input->Byte() % 8 == 0 ? g_library.input->Integral<Dword>() : count;
    return g_library.Answer();
}

Status FlushBuffers(Handle handle, std::uint8_t, std::uint8_t)
{
    g_library.Check(handle);
    return g_library.Answer();
}

Status SetTimeouts(Dword, Dword) { return g_library.Answer(); }

const siusbxp::Functions kFunctions{GetNumDevices, Open, Close, Read, Write, FlushBuffers, SetTimeouts};

// Between the session and the bridge: what the bridge gives back is what
// the library said, counts included; the session must then refuse a read
// that claims more than its buffer.
class CheckingBridge final : public UsbBridge {
public:
    explicit CheckingBridge(UsbBridge& inner) : m_inner(inner) {}
    BridgeStatus GetNumDevices(std::uint32_t* count) override { return Checked(m_inner.GetNumDevices(count)); }
    BridgeStatus Open(std::uint32_t index, BridgeHandle* handle) override
    {
        const BridgeStatus status = Checked(m_inner.Open(index, handle));
        RVZ_FUZZ_REQUIRE(*handle == (status == kBridgeSuccess ? reinterpret_cast<BridgeHandle>(g_library.opened)
                                                               : kNullHandle));
        return status;
    }
    BridgeStatus Close(BridgeHandle handle) override { return Checked(m_inner.Close(handle)); }
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received) override
    {
        const BridgeStatus status = Checked(m_inner.Read(handle, destination, received));
        if (status == kBridgeSuccess)
            RVZ_FUZZ_REQUIRE(*received == g_library.claimed);
        return status;
    }
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written) override
    {
        return Checked(m_inner.Write(handle, source, written));
    }
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t transmit, std::uint8_t receive) override
    {
        return Checked(m_inner.FlushBuffers(handle, transmit, receive));
    }
    BridgeStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override
    {
        return Checked(m_inner.SetTimeouts(readMs, writeMs));
    }

private:
    static BridgeStatus Checked(BridgeStatus status)
    {
        RVZ_FUZZ_REQUIRE(g_library.last.has_value() && status == *g_library.last);
        g_library.last.reset();
        return status;
    }
    UsbBridge& m_inner;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    g_library = Library{};
    g_library.input = &input;
    SiUsbXpBridge bridge(&kFunctions);
    CheckingBridge checked(bridge);
    ManualLinkClock clock;  // the quiet periods pass in virtual time
    FileSessionRecords noNotes{{}};  // each input starts afresh, whatever the last left
    TComm comm(checked, clock, noNotes);
    for (int step = 0; step < 4 && !input.Empty(); ++step) {
        if (!comm.OpenAdapter())
            continue;
        comm.NoteIdentified();  // the register protocol, as a session that identified its adapter speaks it
        std::array<std::uint8_t, 16> record{};
        std::array<std::uint8_t, 22> identification{};
        switch (input.Byte() % 4) {
        case 0:
            comm.ReadRegisters(record, ConfigMask, static_cast<std::int32_t>(ConfigMask.size()));
            break;
        case 1:
            comm.WriteRegisters(record, ConfigMask, static_cast<std::int32_t>(ConfigMask.size()));
            break;
        case 2:
            comm.QueryAdapterInfo(identification);
            break;
        default:
            comm.ProbeServo();
            break;
        }
    }
    comm.CloseAdapter();
    RVZ_FUZZ_REQUIRE(g_library.handleKept);
    return 0;
}
