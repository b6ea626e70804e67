// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A bridge that records every call with its bytes and plays back scripted
// results, so each exchange can be made to fail exactly where a test wants.
// Unscripted calls succeed: the count finds one adapter, open gives handle 7,
// writes take every byte, reads deliver nothing.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "LinkClock.h"
#include "UsbBridge.h"

namespace rvz::test {

using Bytes = std::vector<std::uint8_t>;

struct BridgeCall {
    enum class Op { Count, Open, Close, Read, Write, Flush, SetTimeouts };
    Op op;
    Bytes bytes;                 // written bytes, or bytes delivered by a read
    std::uint32_t wanted = 0;    // bytes asked for by a read
    BridgeHandle handle = kNullHandle;
    std::uint32_t arg1 = 0;      // read time-out, or flush transmit flag
    std::uint32_t arg2 = 0;      // write time-out, or flush receive flag
};

struct ScriptedRead {
    BridgeStatus status = kBridgeSuccess;
    Bytes bytes;
    // Claimed count; by default the number of bytes delivered.
    std::int64_t claimedCount = -1;
};

struct ScriptedWrite {
    BridgeStatus status = kBridgeSuccess;
    std::int64_t written = -1;  // -1: every byte
};

struct ScriptedOpen {
    BridgeStatus status = kBridgeSuccess;
    BridgeHandle handle = 7;
};

class ScriptedBridge final : public UsbBridge {
public:
    // With a clock, a read that delivers fewer bytes than wanted takes its
    // whole read time-out, as a real one does.
    explicit ScriptedBridge(LinkClock* clock = nullptr) : m_clock(clock) {}

    std::deque<BridgeStatus> countResults;
    std::deque<ScriptedOpen> openResults;
    std::deque<ScriptedRead> readResults;
    std::deque<ScriptedWrite> writeResults;
    std::vector<BridgeCall> calls;
    // When set, each scripted read answers one write: reads made while no
    // write waits for its reply (the session waiting for a quiet link) find
    // nothing and leave the script alone.
    bool repliesFollowCommands = false;
    // The name programs give the adapter (see UsbBridge::SessionKey).
    std::string sessionKey;

    // Scripts a well-framed status reply with the given status byte and data.
    void QueueStatusReply(std::uint8_t status, std::uint8_t data = 0);
    // Scripts n positive status replies.
    void QueuePositiveReplies(int n);

    // Bytes of every write, in order.
    std::vector<Bytes> Writes() const;
    std::vector<BridgeCall::Op> Ops() const;
    std::size_t CountOf(BridgeCall::Op op) const;

    BridgeStatus GetNumDevices(std::uint32_t* count) override;
    BridgeStatus Open(std::uint32_t deviceIndex, BridgeHandle* handle) override;
    BridgeStatus Close(BridgeHandle handle) override;
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received) override;
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written) override;
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive) override;
    BridgeStatus SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs) override;
    std::string SessionKey(BridgeHandle) const override { return sessionKey; }

private:
    LinkClock* m_clock;
    LinkTime m_readTimeout{0};
    int m_repliesDue = 0;
};

// "23 03 00 00" -> bytes, for tables of expected traffic.
Bytes HexBytes(const std::string& text);

}  // namespace rvz::test
