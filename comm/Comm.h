#pragma once
// Unit Comm: the session with the USB adapter and the servo register protocol
// spoken over it. Every operation returns plain success or a byte count;
// none throws, and no library status ever leaves this unit.

#include <array>
#include <cstdint>
#include <span>

#include "UsbBridge.h"

namespace rvz {

// Registers 1, 6, 7, 8, 9 and 10: the ones behind the window's fields.
inline constexpr std::array<std::uint8_t, 11> ConfigMask{0, 1, 0, 0, 0, 0, 1, 1, 1, 1, 1};

// Read and write time-outs set before every open.
inline constexpr std::uint32_t kAdapterTimeoutMs = 50;

class TComm {
public:
    explicit TComm(UsbBridge& bridge) : m_bridge(bridge) {}
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    // --- Adapter session ---------------------------------------------------

    // Polls the adapter: true when a session is open on return (opened now or
    // already open). A failed count closes an open session. With a session
    // already open this makes exactly one library call, the count.
    bool OpenAdapter();

    // Closes the open session, if any, and clears LinkVerified. Does nothing
    // when no session is open.
    void CloseAdapter();

    // Reads buffer.size() bytes. Returns the count received (possibly fewer),
    // 0 on any failure and without a session, in which case nothing is called.
    std::int32_t AdapterRead(std::span<std::uint8_t> buffer);

    // Flushes both buffers, then writes the bytes. True only when every byte
    // was written. Without a session it fails at once, without a flush.
    bool AdapterWrite(std::span<const std::uint8_t> buffer);

    // --- Register protocol -------------------------------------------------

    // Sends the probe and reads its status reply.
    bool ProbeServo();

    // Reads one 3-byte status reply. Stores its data byte in *destination
    // (when not null) once the reply is well framed, even when negative.
    bool ReadStatus(std::uint8_t* destination);

    // Reads one 5-byte block reply; true when it is positive and carries crc.
    bool ReadBlockAck(std::uint16_t crc);

    // Reads every register selected among the first n entries of mask into
    // record[i]. n beyond the mask or the record fails before anything is sent.
    bool ReadRegisters(std::span<std::uint8_t> record, std::span<const std::uint8_t> mask, std::int32_t n);

    // Writes the selected registers from record: a select pass, then a data pass.
    bool WriteRegisters(std::span<const std::uint8_t> record, std::span<const std::uint8_t> mask,
                        std::int32_t n);

    // Sends data as one parameter block with its CRC-16; true when the reply
    // echoes that CRC. Blocks longer than a 16-bit count are refused unsent.
    bool WriteBlock(std::span<const std::uint8_t> data);

    // Asks the adapter for destination.size() identification bytes; the
    // destination is written only when the whole reply is good.
    bool QueryAdapterInfo(std::span<std::uint8_t> destination);

    // --- Session state ----------------------------------------------------
    BridgeHandle AdapterHandle() const { return m_adapterHandle; }
    bool LinkVerified() const { return m_linkVerified; }

private:
    bool WriteCommandAndReadStatus(std::span<const std::uint8_t> command);
    static bool MaskFits(std::span<const std::uint8_t> record, std::span<const std::uint8_t> mask, std::int32_t n);

    UsbBridge& m_bridge;
    BridgeHandle m_adapterHandle = kNullHandle;
    bool m_linkVerified = true;
};

}  // namespace rvz
