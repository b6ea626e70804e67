// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bytes on the wire of the adapter and servo register protocol.

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace rvz::protocol {

// Command classes, the first byte of every command.
inline constexpr std::uint8_t kClassIdentify = 0x21;
inline constexpr std::uint8_t kClassBlock = 0x22;
inline constexpr std::uint8_t kClassRegister = 0x23;
// Second byte of the identify and parameter-block commands.
inline constexpr std::uint8_t kSubCommand = 0x40;

// Operations of a register command (its second byte).
inline constexpr std::uint8_t kOpProbe = 0;
inline constexpr std::uint8_t kOpSelect = 1;
inline constexpr std::uint8_t kOpData = 2;
inline constexpr std::uint8_t kOpRead = 3;
inline constexpr std::uint8_t kOpSelectReg0 = 4;
inline constexpr std::uint8_t kOpDataReg0 = 5;
inline constexpr std::uint8_t kOpReadReg0 = 6;

inline constexpr std::size_t kRegisterCommandSize = 4;
using RegisterCommand = std::array<std::uint8_t, kRegisterCommandSize>;

// Replies: marker first, then a status byte whose bit 1 means success.
inline constexpr std::uint8_t kReplyMarker = 0x02;
inline constexpr std::uint8_t kStatusSuccessBit = 0x02;
inline constexpr std::size_t kStatusReplySize = 3;
inline constexpr std::size_t kBlockReplySize = 5;
inline constexpr std::size_t kReplyHeaderSize = 2;
// Identify and block frames: two command bytes in front, two CRC bytes behind.
inline constexpr std::size_t kCommandHeaderSize = 2;
inline constexpr std::size_t kCrcSize = 2;

// Bank bits of register 0; the register offset fills the low five bits.
inline constexpr std::uint8_t kBankMask = 0xE0;
inline constexpr std::uint8_t kOffsetMask = 0x1F;

inline constexpr std::size_t kRegisterCount = 16;

// Address byte of register i >= 1 in the given bank.
constexpr std::uint8_t RegisterAddress(std::size_t i, std::uint8_t bank)
{
    return static_cast<std::uint8_t>(((i - 1) & kOffsetMask) | (bank & kBankMask));
}

constexpr RegisterCommand ProbeCommand() { return {kClassRegister, kOpProbe, 0, 0}; }

constexpr RegisterCommand ReadCommand(std::size_t i, std::uint8_t bank)
{
    if (i == 0)
        return {kClassRegister, kOpReadReg0, 0, 0};
    return {kClassRegister, kOpRead, RegisterAddress(i, bank), 0};
}

constexpr RegisterCommand SelectCommand(std::size_t i, std::uint8_t bank)
{
    if (i == 0)
        return {kClassRegister, kOpSelectReg0, 0, 0};
    return {kClassRegister, kOpSelect, RegisterAddress(i, bank), 0};
}

constexpr RegisterCommand DataCommand(std::size_t i, std::uint8_t bank, std::uint8_t value)
{
    if (i == 0)
        return {kClassRegister, kOpDataReg0, 0, value};
    return {kClassRegister, kOpData, RegisterAddress(i, bank), value};
}

inline constexpr std::array<std::uint8_t, 2> kIdentifyCommand{kClassIdentify, kSubCommand};

// The identification byte that marks a compatible adapter, and where it is.
inline constexpr std::size_t kIdentificationSize = 22;
inline constexpr std::size_t kIdentificationKeyIndex = 21;
inline constexpr std::uint8_t kIdentificationKey = 0xA0;

// The reply due for a command, by its class: the identification's header
// and bytes, a block reply, or else a status reply, which is what the
// adapter answers to anything it does not know.
constexpr bool IsIdentifyCommand(std::span<const std::uint8_t> command)
{
    return std::equal(command.begin(), command.end(), kIdentifyCommand.begin(), kIdentifyCommand.end());
}

constexpr std::size_t ReplySizeOf(std::span<const std::uint8_t> command)
{
    if (IsIdentifyCommand(command))
        return kReplyHeaderSize + kIdentificationSize;
    if (!command.empty() && command[0] == kClassBlock)
        return kBlockReplySize;
    return kStatusReplySize;
}

}  // namespace rvz::protocol
