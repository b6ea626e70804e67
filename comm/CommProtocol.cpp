// SPDX-License-Identifier: GPL-3.0-or-later
// The servo register protocol over the adapter session.
#include <algorithm>
#include <vector>

#include "Comm.h"
#include "Crc16.h"
#include "Protocol.h"

namespace rvz {

using namespace protocol;

namespace {

bool IsFramed(std::span<const std::uint8_t> reply, std::int32_t received)
{
    return received == static_cast<std::int32_t>(reply.size()) && reply[0] == kReplyMarker;
}

bool IsPositive(std::uint8_t status) { return (status & kStatusSuccessBit) != 0; }

// A reply of the wanted length without its marker is garbled; a short one
// has already been given its reason by the read.
LinkFailure MalformedOrMissing(LinkFailure fromRead)
{
    return fromRead == LinkFailure::None ? LinkFailure::MalformedReply : fromRead;
}

}  // namespace

bool TComm::ReadStatus(std::uint8_t* destination)
{
    std::array<std::uint8_t, kStatusReplySize> reply{};
    if (!IsFramed(reply, AdapterRead(reply))) {
        m_linkVerified = false;
        return ReplyFailed(MalformedOrMissing(m_lastFailure));
    }
    if (destination != nullptr)
        *destination = reply[2];
    if (!IsPositive(reply[1]))
        return Fail(LinkFailure::RefusedReply);
    m_linkVerified = true;
    return Succeed();
}

bool TComm::ReadBlockAck(std::uint16_t crc)
{
    std::array<std::uint8_t, kBlockReplySize> reply{};
    if (!IsFramed(reply, AdapterRead(reply))) {
        m_linkVerified = false;
        return ReplyFailed(MalformedOrMissing(m_lastFailure));
    }
    if (!IsPositive(reply[1]))
        return Fail(LinkFailure::RefusedReply);
    // A wrong CRC fails the block, but the reply itself was well framed.
    m_linkVerified = true;
    return reply[3] + 256u * reply[4] == crc ? Succeed() : Fail(LinkFailure::CrcMismatch);
}

bool TComm::ProbeServo()
{
    return Attempt([&] { return Probe(); });
}

bool TComm::ReadRegisters(std::span<std::uint8_t> record, std::span<const std::uint8_t> mask, std::int32_t n)
{
    return Attempt([&] { return ReadRegistersOnce(record, mask, n); });
}

bool TComm::WriteRegisters(std::span<const std::uint8_t> record, std::span<const std::uint8_t> mask,
                           std::int32_t n)
{
    return Attempt([&] { return WriteRegistersOnce(record, mask, n); });
}

bool TComm::WriteBlock(std::span<const std::uint8_t> data)
{
    return Attempt([&] { return WriteBlockOnce(data); });
}

bool TComm::QueryAdapterInfo(std::span<std::uint8_t> destination)
{
    return Attempt([&] { return QueryAdapterInfoOnce(destination); });
}

bool TComm::Probe()
{
    const RegisterCommand probe = ProbeCommand();
    if (!Send(probe, kStatusReplySize))
        return false;
    return ReadStatus(nullptr);
}

bool TComm::WriteCommandAndReadStatus(std::span<const std::uint8_t> command)
{
    return Send(command, kStatusReplySize) && ReadStatus(nullptr);
}

bool TComm::MaskFits(std::span<const std::uint8_t> record, std::span<const std::uint8_t> mask, std::int32_t n)
{
    if (n <= 0)
        return true;
    const auto count = static_cast<std::size_t>(n);
    return count <= mask.size() && count <= record.size() && count <= kRegisterCount;
}

bool TComm::ReadRegistersOnce(std::span<std::uint8_t> record, std::span<const std::uint8_t> mask, std::int32_t n)
{
    // A count beyond the mask or the record is the caller's mistake; nothing
    // goes out for it rather than reading or writing past either.
    if (!MaskFits(record, mask, n))
        return Fail(LinkFailure::TransferFailed);
    if (!m_linkVerified)
        Probe();  // the first register exchange decides, not the probe

    std::uint8_t bank = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const auto reg = static_cast<std::size_t>(i);
        if (mask[reg] == 0)
            continue;
        const RegisterCommand command = ReadCommand(reg, bank);
        if (!Send(command, kStatusReplySize))
            return false;
        if (!ReadStatus(&record[reg]))
            return false;
        if (reg == 0)
            bank = static_cast<std::uint8_t>(record[0] & kBankMask);
    }
    return Succeed();
}

bool TComm::WriteRegistersOnce(std::span<const std::uint8_t> record, std::span<const std::uint8_t> mask,
                               std::int32_t n)
{
    if (!MaskFits(record, mask, n) || record.empty())
        return Fail(LinkFailure::TransferFailed);
    if (!m_linkVerified)
        Probe();

    const auto bank = static_cast<std::uint8_t>(record[0] & kBankMask);
    // Every select goes out before the first data command.
    for (std::int32_t i = 0; i < n; ++i) {
        const auto reg = static_cast<std::size_t>(i);
        if (mask[reg] != 0 && !WriteCommandAndReadStatus(SelectCommand(reg, bank)))
            return false;
    }
    for (std::int32_t i = 0; i < n; ++i) {
        const auto reg = static_cast<std::size_t>(i);
        if (mask[reg] != 0 && !WriteCommandAndReadStatus(DataCommand(reg, bank, record[reg])))
            return false;
    }
    return Succeed();
}

bool TComm::WriteBlockOnce(std::span<const std::uint8_t> data)
{
    if (data.size() > kCrc16MaxLength)
        return Fail(LinkFailure::TransferFailed);
    std::vector<std::uint8_t> frame;
    frame.reserve(data.size() + kCommandHeaderSize + kCrcSize);
    frame.push_back(kClassBlock);
    frame.push_back(kSubCommand);
    frame.insert(frame.end(), data.begin(), data.end());
    const std::uint16_t crc = Crc16(0, data);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));  // low byte first
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));

    if (!Send(frame, kBlockReplySize))
        return false;
    return ReadBlockAck(crc);
}

bool TComm::QueryAdapterInfoOnce(std::span<std::uint8_t> destination)
{
    std::vector<std::uint8_t> reply(destination.size() + kReplyHeaderSize);
    if (!Send(kIdentifyCommand, reply.size()))
        return false;
    if (!IsFramed(reply, AdapterRead(reply)))
        return ReplyFailed(MalformedOrMissing(m_lastFailure));
    if (!IsPositive(reply[1]))
        return Fail(LinkFailure::RefusedReply);
    std::copy(reply.begin() + kReplyHeaderSize, reply.end(), destination.begin());
    return Succeed();
}

}  // namespace rvz
