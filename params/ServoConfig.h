// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The servo's sixteen registers as one record: byte i is register i.

#include <array>
#include <cstdint>

namespace rvz {

struct TServoConfig {
    static constexpr std::size_t kSize = 16;
    std::array<std::uint8_t, kSize> Bytes{};

    // Byte 1 bits 0-5: dead-band code D; dead band = 13 - D/5 us.
    std::uint8_t DeadBandCode() const { return Bytes[1] & 0x3F; }
    void SetDeadBandCode(std::uint64_t code) { Bytes[1] = static_cast<std::uint8_t>(code & 0x3F); }

    // Byte 6 bit 0: lock, 1 = "Y".
    std::uint8_t LockBit() const { return Bytes[6] & 0x01; }
    void SetLockBit(std::uint64_t bit) { Bytes[6] = static_cast<std::uint8_t>(bit & 0x01); }

    // Bytes 7 and 8: pulse limit codes, 12.8 us a step.
    std::uint8_t LowerCode() const { return Bytes[7]; }
    std::uint8_t UpperCode() const { return Bytes[8]; }
    void SetLowerCode(std::uint64_t code) { Bytes[7] = static_cast<std::uint8_t>(code & 0xFF); }
    void SetUpperCode(std::uint64_t code) { Bytes[8] = static_cast<std::uint8_t>(code & 0xFF); }

    // Byte 9 and byte 10 bits 0-4: 13-bit neutral-position code P;
    // neutral = 960 + 5P/32 us.
    std::uint16_t NeutralCode() const { return static_cast<std::uint16_t>(((Bytes[10] & 0x1F) << 8) | Bytes[9]); }
    void SetNeutralCode(std::uint64_t code)
    {
        Bytes[9] = static_cast<std::uint8_t>(code & 0xFF);
        Bytes[10] = static_cast<std::uint8_t>((code >> 8) & 0x1F);
    }

    // Bytes 14 and 15: neutral signal in whole us, high byte first.
    std::uint16_t NeutralSignal() const { return static_cast<std::uint16_t>((Bytes[14] << 8) | Bytes[15]); }
    void SetNeutralSignal(std::uint64_t signal)
    {
        Bytes[14] = static_cast<std::uint8_t>((signal >> 8) & 0xFF);
        Bytes[15] = static_cast<std::uint8_t>(signal & 0xFF);
    }

    bool operator==(const TServoConfig&) const = default;
};

}  // namespace rvz
