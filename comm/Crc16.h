// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CRC-16/XMODEM: polynomial 0x1021, most significant bit first, no reflection,
// no final XOR. The parameter block carries it low byte first.

#include <array>
#include <cstdint>
#include <span>

namespace rvz {

inline constexpr std::uint16_t kCrc16Polynomial = 0x1021;

// Entry k is the CRC of the single byte k.
constexpr std::array<std::uint16_t, 256> MakeCrc16Table()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned k = 0; k < 256; ++k) {
        unsigned crc = k << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000u) ? ((crc << 1) ^ kCrc16Polynomial) : (crc << 1);
        table[k] = static_cast<std::uint16_t>(crc & 0xFFFFu);
    }
    return table;
}

inline constexpr std::array<std::uint16_t, 256> kCrc16Table = MakeCrc16Table();

// The block length travels as a 16-bit count, so at most 65535 bytes are
// covered; longer data is refused by the caller, never truncated here.
inline constexpr std::size_t kCrc16MaxLength = 0xFFFF;

// CRC of data, started from initial. Empty data returns initial unchanged.
std::uint16_t Crc16(std::uint16_t initial, std::span<const std::uint8_t> data);

}  // namespace rvz
