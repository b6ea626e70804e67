// SPDX-License-Identifier: GPL-3.0-or-later
// The session and the protocol over a bridge scripted by the input: no
// operation succeeds without the full set of good exchanges behind it, and
// nothing is read or written out of bounds (the sanitizers watch that).
#include <vector>

#include "Comm.h"
#include "FuzzInput.h"
#include "ScriptedBridge.h"
#include "Settings.h"

using namespace rvz;
using rvz::test::BridgeCall;
using rvz::test::ScriptedBridge;
using rvz::test::ScriptedRead;
using rvz::test::ScriptedWrite;

namespace {

BridgeStatus Status(fuzz::FuzzInput& input) { return input.Byte() % 4 == 0 ? 1 : kBridgeSuccess; }

// Exchanges whose write went out whole and whose reply came back whole,
// well framed and positive.
int GoodExchanges(const ScriptedBridge& bridge, const std::vector<ScriptedRead>& reads,
                  const std::vector<ScriptedWrite>& writes)
{
    int good = 0;
    std::size_t read = 0;
    std::size_t write = 0;
    bool lastWriteGood = false;
    for (const BridgeCall& call : bridge.calls) {
        if (call.op == BridgeCall::Op::Write) {
            const ScriptedWrite w = write < writes.size() ? writes[write] : ScriptedWrite{};
            ++write;
            lastWriteGood = w.status == kBridgeSuccess && (w.written < 0 || w.written == std::int64_t(call.bytes.size()));
        } else if (call.op == BridgeCall::Op::Read) {
            const ScriptedRead r = read < reads.size() ? reads[read] : ScriptedRead{};
            ++read;
            // The session can only trust the count a read claims; bytes it
            // claims but did not deliver are the reply buffer's zeros.
            const std::int64_t claimed = r.claimedCount >= 0 ? r.claimedCount : std::int64_t(call.bytes.size());
            std::vector<std::uint8_t> reply = call.bytes;
            reply.resize(std::max<std::size_t>(reply.size(), 2), 0);
            const bool whole = r.status == kBridgeSuccess && claimed == call.wanted && call.wanted >= 2;
            if (lastWriteGood && whole && reply[0] == 0x02 && (reply[1] & 0x02) != 0)
                ++good;
            lastWriteGood = false;
        }
    }
    return good;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    rvz::ManualLinkClock clock;  // the quiet periods pass in virtual time
    ScriptedBridge bridge(&clock);
    for (int i = input.Byte() % 4; i > 0; --i)
        bridge.countResults.push_back(Status(input));
    bridge.openResults.push_back({Status(input), input.Byte()});
    std::vector<ScriptedRead> reads;
    std::vector<ScriptedWrite> writes;
    for (int i = input.Byte() % 24; i > 0; --i) {
        ScriptedWrite write{Status(input), input.Byte() % 8 == 0 ? std::int64_t(input.Byte() % 32) : -1};
        writes.push_back(write);
        ScriptedRead read{Status(input), {}, input.Byte() % 8 == 0 ? std::int64_t(input.Byte()) : -1};
        // Mostly well-framed replies, so that deep paths are reached.
        const std::size_t length = input.Byte() % 26;
        for (std::size_t b = 0; b < length; ++b)
            read.bytes.push_back(b == 0 && input.Byte() % 8 != 0 ? 0x02 : input.Byte());
        reads.push_back(read);
    }
    bridge.readResults.assign(reads.begin(), reads.end());
    bridge.writeResults.assign(writes.begin(), writes.end());

    TComm comm(bridge, clock);
    if (!comm.OpenAdapter())
        return 0;
    comm.NoteIdentified();  // the register protocol, as a session that identified its adapter speaks it
    std::array<std::uint8_t, 16> record{};
    std::array<std::uint8_t, 24> identification{};
    std::array<std::uint8_t, 17> block{};
    switch (input.Byte() % 5) {
    case 0:
        if (comm.ReadRegisters(record, ConfigMask, 11))
            RVZ_FUZZ_REQUIRE(GoodExchanges(bridge, reads, writes) >= 6);
        break;
    case 1:
        if (comm.WriteRegisters(record, ConfigMask, 11))
            RVZ_FUZZ_REQUIRE(GoodExchanges(bridge, reads, writes) >= 12);
        break;
    case 2:
        if (comm.WriteBlock(block))
            RVZ_FUZZ_REQUIRE(GoodExchanges(bridge, reads, writes) >= 1);
        break;
    case 3:
        if (comm.QueryAdapterInfo(std::span(identification).first(input.Byte() % 24)))
            RVZ_FUZZ_REQUIRE(GoodExchanges(bridge, reads, writes) >= 1);
        break;
    default: {
        std::array<std::uint8_t, 3> buffer{};
        const std::int32_t received = comm.AdapterRead(buffer);
        RVZ_FUZZ_REQUIRE(received >= 0 && received <= 3);
        break;
    }
    }
    comm.CloseAdapter();
    return 0;
}
