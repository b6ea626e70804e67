// SPDX-License-Identifier: GPL-3.0-or-later
#include "Crc16.h"

namespace rvz {

std::uint16_t Crc16(std::uint16_t initial, std::span<const std::uint8_t> data)
{
    unsigned crc = initial;
    for (std::uint8_t b : data)
        crc = kCrc16Table[((crc >> 8) ^ b) & 0xFFu] ^ ((crc << 8) & 0xFFFFu);
    return static_cast<std::uint16_t>(crc);
}

}  // namespace rvz
