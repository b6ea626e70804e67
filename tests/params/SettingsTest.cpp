// SPDX-License-Identifier: GPL-3.0-or-later
// The table of settings and what derives from it.
#include <gtest/gtest.h>

#include <bitset>
#include <cstdio>
#include <random>

#include "Settings.h"

namespace rvz {
namespace {

TEST(SettingsTest, TheRegisterMaskIsTheOneTheWindowAndTheServoUse)
{
    const std::array<std::uint8_t, 11> expected{0, 1, 0, 0, 0, 0, 1, 1, 1, 1, 1};
    EXPECT_EQ(ConfigMask, expected);
    EXPECT_EQ(kConfigRegisters, (std::array<std::size_t, 6>{1, 6, 7, 8, 9, 10}));
    EXPECT_EQ(SettingRegisters(true), (std::vector<std::size_t>{1, 6, 7, 8, 9, 10, 14, 15}));
}

// Stored codes read back as their low bits, and a store touches no bit of
// another setting nor any register outside the setting.
TEST(SettingsTest, EachSettingOwnsItsBitsAlone)
{
    std::mt19937_64 random(20261209);
    std::printf("seed 20261209\n");
    for (int round = 0; round < 2000; ++round) {
        TServoConfig record;
        for (auto& byte : record.Bytes)
            byte = static_cast<std::uint8_t>(random());
        const Setting& setting = kSettings[static_cast<std::size_t>(random() % kSettings.size())];
        const std::uint64_t code = random();
        TServoConfig stored = record;
        StoreCode(stored, setting.field, code);
        ASSERT_EQ(CodeOf(stored, setting.field), code & MaxCode(setting.field)) << setting.name;
        for (const Setting& other : kSettings) {
            if (other.field != setting.field) {
                ASSERT_EQ(CodeOf(stored, other.field), CodeOf(record, other.field)) << setting.name << other.name;
            }
        }
        std::bitset<TServoConfig::kSize> touched;
        for (std::size_t reg : RegistersOf(setting.field))
            touched.set(reg);
        for (std::size_t reg = 0; reg < TServoConfig::kSize; ++reg) {
            if (!touched[reg]) {
                ASSERT_EQ(stored.Bytes[reg], record.Bytes[reg]) << setting.name << " " << reg;
            }
        }
    }
}

}  // namespace
}  // namespace rvz
