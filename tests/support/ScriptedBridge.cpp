// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedBridge.h"

#include <algorithm>
#include <sstream>

namespace rvz::test {

void ScriptedBridge::QueueStatusReply(std::uint8_t status, std::uint8_t data)
{
    readResults.push_back({kBridgeSuccess, {0x02, status, data}});
}

void ScriptedBridge::QueuePositiveReplies(int n)
{
    for (int i = 0; i < n; ++i)
        QueueStatusReply(0x02);
}

std::vector<Bytes> ScriptedBridge::Writes() const
{
    std::vector<Bytes> writes;
    for (const auto& call : calls)
        if (call.op == BridgeCall::Op::Write)
            writes.push_back(call.bytes);
    return writes;
}

std::vector<BridgeCall::Op> ScriptedBridge::Ops() const
{
    std::vector<BridgeCall::Op> ops;
    for (const auto& call : calls)
        ops.push_back(call.op);
    return ops;
}

std::size_t ScriptedBridge::CountOf(BridgeCall::Op op) const
{
    return static_cast<std::size_t>(
        std::count_if(calls.begin(), calls.end(), [op](const BridgeCall& c) { return c.op == op; }));
}

template <typename T>
static T TakeFront(std::deque<T>& queue)
{
    if (queue.empty())
        return T{};
    T front = queue.front();
    queue.pop_front();
    return front;
}

BridgeStatus ScriptedBridge::GetNumDevices(std::uint32_t* count)
{
    calls.push_back({BridgeCall::Op::Count, {}});
    const BridgeStatus status = TakeFront(countResults);
    *count = status == kBridgeSuccess ? 1 : 0;
    return status;
}

BridgeStatus ScriptedBridge::Open(std::uint32_t deviceIndex, BridgeHandle* handle)
{
    calls.push_back({BridgeCall::Op::Open, {}, 0, kNullHandle, deviceIndex});
    const ScriptedOpen result = TakeFront(openResults);
    *handle = result.handle;
    return result.status;
}

BridgeStatus ScriptedBridge::Close(BridgeHandle handle)
{
    calls.push_back({BridgeCall::Op::Close, {}, 0, handle});
    return kBridgeSuccess;
}

BridgeStatus ScriptedBridge::Read(BridgeHandle handle, std::span<std::uint8_t> destination,
                                  std::uint32_t* received)
{
    // A read with no command to answer finds nothing, and leaves the script alone.
    const bool answers = !repliesFollowCommands || m_repliesDue > 0;
    if (answers && m_repliesDue > 0)
        --m_repliesDue;
    ScriptedRead result = answers ? TakeFront(readResults) : ScriptedRead{};
    const std::size_t n = std::min(destination.size(), result.bytes.size());
    std::copy_n(result.bytes.begin(), n, destination.begin());
    calls.push_back({BridgeCall::Op::Read, Bytes(result.bytes.begin(), result.bytes.begin() + static_cast<long>(n)),
                     static_cast<std::uint32_t>(destination.size()), handle});
    *received = result.claimedCount >= 0 ? static_cast<std::uint32_t>(result.claimedCount)
                                         : static_cast<std::uint32_t>(n);
    if (m_clock && n < destination.size())
        m_clock->SleepFor(m_readTimeout);
    return result.status;
}

BridgeStatus ScriptedBridge::Write(BridgeHandle handle, std::span<const std::uint8_t> source,
                                   std::uint32_t* written)
{
    calls.push_back({BridgeCall::Op::Write, Bytes(source.begin(), source.end()), 0, handle});
    if (repliesFollowCommands)
        ++m_repliesDue;
    const ScriptedWrite result = TakeFront(writeResults);
    *written = result.written >= 0 ? static_cast<std::uint32_t>(result.written)
                                   : static_cast<std::uint32_t>(source.size());
    return result.status;
}

BridgeStatus ScriptedBridge::FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive)
{
    calls.push_back({BridgeCall::Op::Flush, {}, 0, handle, flushTransmit, flushReceive});
    return kBridgeSuccess;
}

BridgeStatus ScriptedBridge::SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs)
{
    calls.push_back({BridgeCall::Op::SetTimeouts, {}, 0, kNullHandle, readTimeoutMs, writeTimeoutMs});
    m_readTimeout = LinkTime{readTimeoutMs};
    return kBridgeSuccess;
}

Bytes HexBytes(const std::string& text)
{
    Bytes bytes;
    std::istringstream in(text);
    std::string word;
    while (in >> word)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    return bytes;
}

}  // namespace rvz::test
