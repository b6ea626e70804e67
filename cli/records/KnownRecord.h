// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A record and which of its registers are known: a servo is read in the six
// registers of its settings, a parameter file gives all sixteen, JSON the
// registers of the values it names.

#include <bitset>
#include <cstdint>
#include <string>

#include "ServoConfig.h"
#include "Settings.h"

namespace rvz::cli {

struct KnownRecord {
    TServoConfig record;
    std::bitset<TServoConfig::kSize> known;

    // Whether every register of the setting is known.
    bool Knows(Field field) const;
};

// A record read from the servo: the registers of its settings.
KnownRecord ReadFromServo(const TServoConfig& read);
// A parameter file's record: every register.
KnownRecord WholeRecord(const TServoConfig& record);

// "08", and a byte as "9C".
std::string RegisterName(std::size_t reg);
std::string HexByte(std::uint8_t byte);

}  // namespace rvz::cli
