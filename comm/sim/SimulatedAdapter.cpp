// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedAdapter.h"

#include <algorithm>

#include "Crc16.h"
#include "Protocol.h"

namespace rvz {

using namespace protocol;

namespace {
using bridge_status::kDeviceNotFound;
using bridge_status::kInvalidHandle;
constexpr std::uint8_t kNegativeStatus = 0x00;
constexpr std::uint8_t kPositiveStatus = kStatusSuccessBit;
}  // namespace

SimulatedAdapter::SimulatedAdapter(bool pluggedIn) : m_pluggedIn(pluggedIn)
{
    // A made-up serial and firmware tag; only the last byte matters to the tool.
    for (std::size_t i = 0; i < m_identification.size(); ++i)
        m_identification[i] = static_cast<std::uint8_t>('A' + i);
    m_identification[kIdentificationKeyIndex] = kIdentificationKey;
}

void SimulatedAdapter::Plug() { m_pluggedIn = true; }

void SimulatedAdapter::Unplug()
{
    m_pluggedIn = false;
    m_openHandle = kNullHandle;
    ++m_generation;
    m_pending.clear();
}

bool SimulatedAdapter::IsLive(BridgeHandle handle) const
{
    return m_pluggedIn && handle != kNullHandle && handle == m_openHandle;
}

BridgeStatus SimulatedAdapter::GetNumDevices(std::uint32_t* count)
{
    *count = m_pluggedIn ? 1 : 0;
    return m_pluggedIn ? kBridgeSuccess : kDeviceNotFound;
}

BridgeStatus SimulatedAdapter::Open(std::uint32_t deviceIndex, BridgeHandle* handle)
{
    if (!m_pluggedIn || deviceIndex != 0)
        return kDeviceNotFound;
    m_openHandle = m_generation;
    *handle = m_openHandle;
    // A new session finds the adapter's buffer empty, but a reply still on
    // the servo's line (to a command of a session that ended) comes all the same.
    DropArrived();
    return kBridgeSuccess;
}

BridgeStatus SimulatedAdapter::Close(BridgeHandle handle)
{
    if (handle == m_openHandle)
        m_openHandle = kNullHandle;
    return kBridgeSuccess;
}

BridgeStatus SimulatedAdapter::Read(BridgeHandle handle, std::span<std::uint8_t> destination,
                                    std::uint32_t* received)
{
    if (!IsLive(handle))
        return kInvalidHandle;
    // Like a real read: it returns once the wanted bytes are there, or at
    // its time-out with whatever arrived by then.
    const Micros deadline = NowMicros() + m_readTimeout;
    std::uint32_t count = 0;
    while (count < destination.size() && !m_pending.empty()) {
        const Micros arrivesAt = m_pending.front().arrivesAt;
        if (arrivesAt > deadline)
            break;
        SleepUntil(arrivesAt);
        destination[count++] = m_pending.front().value;
        m_pending.pop_front();
    }
    if (count < destination.size())
        SleepUntil(deadline);
    *received = count;
    return kBridgeSuccess;
}

void SimulatedAdapter::SleepUntil(Micros moment)
{
    if (m_clock && moment > NowMicros())
        m_clock->SleepFor(std::chrono::ceil<LinkTime>(moment - NowMicros()));
}

BridgeStatus SimulatedAdapter::Write(BridgeHandle handle, std::span<const std::uint8_t> source,
                                     std::uint32_t* written)
{
    if (!IsLive(handle))
        return kInvalidHandle;
    ++m_commandCount;
    if (!IsIdentifyCommand(source))
        ++m_servoCommandCount;
    if (m_keepCommands)
        m_commands.emplace_back(source.begin(), source.end());
    if (m_commandsToUnplug > 0 && --m_commandsToUnplug == 0) {
        Unplug();
        return kDeviceNotFound;
    }
    *written = static_cast<std::uint32_t>(source.size());
    m_commandArrives = NowMicros() + (m_clock ? LineTime(source.size()) : Micros{0});
    m_thisReplyExtra = m_commandsToLateReply > 0 && --m_commandsToLateReply == 0 ? m_lateReplyExtra : LinkTime{0};
    if (m_repliesToDrop > 0) {
        --m_repliesToDrop;
        return kBridgeSuccess;
    }
    Answer(source);
    return kBridgeSuccess;
}

BridgeStatus SimulatedAdapter::FlushBuffers(BridgeHandle handle, std::uint8_t, std::uint8_t flushReceive)
{
    if (!IsLive(handle))
        return kInvalidHandle;
    if (flushReceive != 0 && !m_flushLeavesBytes)
        DropArrived();
    return kBridgeSuccess;
}

void SimulatedAdapter::DropArrived()
{
    // Only what has arrived can go; a reply still on its way comes later.
    while (!m_pending.empty() && m_pending.front().arrivesAt <= NowMicros())
        m_pending.pop_front();
}

BridgeStatus SimulatedAdapter::SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t)
{
    m_readTimeout = LinkTime{readTimeoutMs};
    return kBridgeSuccess;
}

void SimulatedAdapter::Reply(const std::vector<std::uint8_t>& bytes)
{
    if (!m_clock) {
        for (std::uint8_t byte : bytes)
            m_pending.push_back({byte, Micros{0}});
        return;
    }
    Micros startsAt = m_commandArrives + m_replyDelay + m_thisReplyExtra;
    if (m_replyJitter.count() > 0)
        startsAt += LinkTime{std::uniform_int_distribution<LinkTime::rep>(0, m_replyJitter.count())(m_random)};
    // One serial line: a reply starts only once the one ahead of it is through.
    if (!m_pending.empty())
        startsAt = std::max(startsAt, m_pending.back().arrivesAt);
    Micros arrivesAt = startsAt;
    for (std::uint8_t byte : bytes) {
        arrivesAt += m_byteTime;
        m_pending.push_back({byte, arrivesAt});
    }
}

void SimulatedAdapter::AdapterReplyAtOnce(const std::vector<std::uint8_t>& bytes)
{
    // Ahead of the servo's bytes still on their way.
    const auto ahead = std::find_if(m_pending.begin(), m_pending.end(),
                                    [&](const PendingByte& pending) { return pending.arrivesAt > NowMicros(); });
    std::vector<PendingByte> queued;
    for (std::uint8_t byte : bytes)
        queued.push_back({byte, NowMicros()});
    m_pending.insert(ahead, queued.begin(), queued.end());
}

void SimulatedAdapter::ReplyStatus(bool positive, std::uint8_t data)
{
    ServoReply({kReplyMarker, positive ? kPositiveStatus : kNegativeStatus, data});
}

void SimulatedAdapter::ServoReply(std::vector<std::uint8_t> bytes)
{
    if (m_repliesToLose > 0) {
        --m_repliesToLose;
        return;
    }
    if (m_repliesToCut > 0 && !bytes.empty()) {
        --m_repliesToCut;
        bytes.pop_back();
    }
    Reply(bytes);
}

void SimulatedAdapter::Answer(std::span<const std::uint8_t> command)
{
    if (command.size() == kIdentifyCommand.size() && command[0] == kClassIdentify && command[1] == kSubCommand) {
        std::vector<std::uint8_t> reply{kReplyMarker, kPositiveStatus};
        reply.insert(reply.end(), m_identification.begin(), m_identification.end());
        if (m_identifyAtOnce)
            AdapterReplyAtOnce(reply);
        else
            Reply(reply);
        return;
    }
    if (m_servoSilent)
        return;
    if (command.size() == kRegisterCommandSize && command[0] == kClassRegister)
        AnswerRegisterCommand(command);
    else if (command.size() > kCommandHeaderSize + kCrcSize && command[0] == kClassBlock && command[1] == kSubCommand)
        AnswerBlock(command);
    else
        ReplyStatus(false);
}

int SimulatedAdapter::RegisterAt(std::uint8_t address) const
{
    // The servo has one bank; it answers only addresses in the bank that its
    // register 0 names.
    if ((address & kBankMask) != (m_registers[0] & kBankMask))
        return -1;
    const int reg = (address & kOffsetMask) + 1;
    return reg < static_cast<int>(kRegisterCount) ? reg : -1;
}

void SimulatedAdapter::AnswerRegisterCommand(std::span<const std::uint8_t> command)
{
    const std::uint8_t op = command[1];
    const std::uint8_t address = command[2];
    const std::uint8_t value = command[3];
    const bool forRegister0 = op >= kOpSelectReg0 && op <= kOpReadReg0;
    const int reg = forRegister0 ? 0 : RegisterAt(address);
    const auto index = static_cast<std::size_t>(reg);

    switch (op) {
    case kOpProbe:
        ReplyStatus(address == 0 && value == 0);
        return;
    case kOpSelect:
    case kOpSelectReg0:
        if (reg < 0 || value != 0)
            break;
        m_selected[index] = true;
        ReplyStatus(true);
        return;
    case kOpData:
    case kOpDataReg0:
        // A data command is taken only for a register selected before it.
        if (reg < 0 || !m_selected[index])
            break;
        m_selected[index] = false;
        if (reg != m_keptRegister)
            m_registers[index] = value;
        ReplyStatus(true);
        return;
    case kOpRead:
    case kOpReadReg0:
        if (reg < 0 || value != 0)
            break;
        ReplyStatus(true, m_registers[index]);
        return;
    default:
        break;
    }
    ReplyStatus(false);
}

void SimulatedAdapter::AnswerBlock(std::span<const std::uint8_t> frame)
{
    const auto block = frame.subspan(kCommandHeaderSize, frame.size() - kCommandHeaderSize - kCrcSize);
    const std::uint16_t sent = static_cast<std::uint16_t>(frame[frame.size() - 2] | (frame[frame.size() - 1] << 8));
    const std::uint16_t crc = Crc16(0, block);
    const bool accepted = crc == sent && block.size() >= kRegisterCount;
    if (accepted)
        for (std::size_t reg = 0; reg < kRegisterCount; ++reg)
            if (static_cast<int>(reg) != m_keptRegister)
                m_registers[reg] = block[reg];
    ServoReply({kReplyMarker, accepted ? kPositiveStatus : kNegativeStatus, 0, static_cast<std::uint8_t>(crc & 0xFF),
           static_cast<std::uint8_t>(crc >> 8)});
}

}  // namespace rvz
