// SPDX-License-Identifier: GPL-3.0-or-later
#include "KnownRecord.h"

#include <algorithm>
#include <cstdio>

namespace rvz::cli {

bool KnownRecord::Knows(Field field) const
{
    const std::vector<std::size_t> registers = RegistersOf(field);
    return std::all_of(registers.begin(), registers.end(), [&](std::size_t reg) { return known[reg]; });
}

KnownRecord ReadFromServo(const TServoConfig& read)
{
    KnownRecord servo{read, {}};
    for (std::size_t reg : kConfigRegisters)
        servo.known.set(reg);
    return servo;
}

KnownRecord WholeRecord(const TServoConfig& record)
{
    KnownRecord whole{record, {}};
    whole.known.set();
    return whole;
}

std::string HexByte(std::uint8_t byte)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

std::string RegisterName(std::size_t reg)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02zX", reg);
    return text;
}

}  // namespace rvz::cli
