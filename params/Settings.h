// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The servo's six settings, each once: the registers and bits it occupies,
// its name on the command line and in JSON, its unit and help. The register
// mask the window reads and writes with, the lists of registers, the names
// and the bit arithmetic of every setting all derive from this table.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "ServoConfig.h"

namespace rvz {

enum class Field { DeadBand, Lock, Lower, Upper, Neutral, Signal };

// Some bits of one register, contiguous from bit 0.
struct RegisterBits {
    std::size_t reg;
    std::uint8_t mask;
};

struct Setting {
    Field field;
    std::string_view name;   // on the command line and in JSON
    std::string_view label;  // where a record is described
    std::string_view unit;   // "us", or empty
    std::string_view help;
    // The code's bits, the most significant part first.
    std::array<RegisterBits, 2> parts;
    std::size_t partCount;
    // Read and written one register at a time; the neutral signal is
    // not: it reaches the servo only inside the parameter block.
    bool byRegister;

    constexpr std::span<const RegisterBits> Parts() const { return {parts.data(), partCount}; }
};

// In the order the command line lists them.
inline constexpr std::array<Setting, 6> kSettings{{
    {Field::DeadBand, "deadband", "dead band", "us", "dead band in us, 0.4 to 13 in steps of 0.2",
     {{{1, 0x3F}}}, 1, true},
    {Field::Lock, "lock", "lock", "", "Y or N", {{{6, 0x01}}}, 1, true},
    {Field::Upper, "upper", "pulse upper", "us",
     "upper pulse limit in whole us, the neutral position to 3264; stored in steps of 12.8", {{{8, 0xFF}}}, 1, true},
    {Field::Lower, "lower", "pulse lower", "us",
     "lower pulse limit in whole us, 0 to the neutral position; stored in steps of 12.8", {{{7, 0xFF}}}, 1, true},
    {Field::Neutral, "neutral", "neutral", "us", "neutral position in whole us, 960 to 2239",
     {{{10, 0x1F}, {9, 0xFF}}}, 2, true},
    {Field::Signal, "signal", "signal", "us", "neutral signal in whole us, 0 to 65535; sent by init only",
     {{{14, 0xFF}, {15, 0xFF}}}, 2, false},
}};

constexpr const Setting& SettingOf(Field field)
{
    for (const Setting& setting : kSettings)
        if (setting.field == field)
            return setting;
    return kSettings[0];  // every field has its row
}

namespace detail {
constexpr int BitCount(std::uint8_t mask)
{
    int count = 0;
    for (; mask; mask >>= 1)
        count += mask & 1;
    return count;
}
constexpr std::size_t ByRegisterEnd()
{
    std::size_t end = 0;
    for (const Setting& setting : kSettings)
        for (const RegisterBits& part : setting.Parts())
            if (setting.byRegister && part.reg + 1 > end)
                end = part.reg + 1;
    return end;
}
constexpr std::size_t ByRegisterCount()
{
    std::size_t count = 0;
    for (const Setting& setting : kSettings)
        count += setting.byRegister ? setting.partCount : 0;
    return count;
}
}  // namespace detail

// The register mask of Read and Write Config, one entry for each register
// up to the last one they move: 00 01 00 00 00 00 01 01 01 01 01.
inline constexpr auto ConfigMask = [] {
    std::array<std::uint8_t, detail::ByRegisterEnd()> mask{};
    for (const Setting& setting : kSettings)
        for (const RegisterBits& part : setting.Parts())
            if (setting.byRegister)
                mask[part.reg] = 1;
    return mask;
}();

// The registers ConfigMask selects, in ascending order: 1, 6, 7, 8, 9, 10.
inline constexpr auto kConfigRegisters = [] {
    std::array<std::size_t, detail::ByRegisterCount()> registers{};
    std::size_t n = 0;
    for (std::size_t reg = 0; reg < ConfigMask.size(); ++reg)
        if (ConfigMask[reg] != 0)
            registers[n++] = reg;
    return registers;
}();

// The registers a setting occupies, in ascending order.
inline std::vector<std::size_t> RegistersOf(Field field)
{
    std::vector<std::size_t> registers;
    for (const RegisterBits& part : SettingOf(field).Parts())
        registers.push_back(part.reg);
    std::sort(registers.begin(), registers.end());
    return registers;
}

// The registers of the settings, in ascending order: those of the register
// mask, and with the signal its two.
inline std::vector<std::size_t> SettingRegisters(bool withSignal)
{
    std::vector<std::size_t> registers;
    for (const Setting& setting : kSettings)
        if (setting.byRegister || withSignal)
            for (std::size_t reg : RegistersOf(setting.field))
                registers.push_back(reg);
    std::sort(registers.begin(), registers.end());
    return registers;
}

// The largest code a setting's bits hold.
constexpr std::uint32_t MaxCode(Field field)
{
    int bits = 0;
    for (const RegisterBits& part : SettingOf(field).Parts())
        bits += detail::BitCount(part.mask);
    return static_cast<std::uint32_t>((std::uint64_t{1} << bits) - 1);
}

// A setting's code as its bits in the record hold it.
constexpr std::uint32_t CodeOf(const TServoConfig& record, Field field)
{
    std::uint32_t code = 0;
    for (const RegisterBits& part : SettingOf(field).Parts())
        code = (code << detail::BitCount(part.mask)) | (record.Bytes[part.reg] & part.mask);
    return code;
}

// Stores the low bits of code in the setting's bits; every other bit of
// the record stays as it is.
constexpr void StoreCode(TServoConfig& record, Field field, std::uint64_t code)
{
    const auto parts = SettingOf(field).Parts();
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        record.Bytes[part->reg] =
            static_cast<std::uint8_t>((record.Bytes[part->reg] & ~part->mask) | (code & part->mask));
        code >>= detail::BitCount(part->mask);
    }
}

// Copies one setting's bits, and nothing else, from one record to another.
constexpr void CopyField(TServoConfig& to, const TServoConfig& from, Field field)
{
    StoreCode(to, field, CodeOf(from, field));
}

}  // namespace rvz
