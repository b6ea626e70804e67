// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions between the window's values and the parameter record.
#include <gtest/gtest.h>

#include <tuple>

#include "Conversions.h"
#include "NumberText.h"

namespace rvz {
namespace {

const TServoConfig kStartingRecord{
    {0x00, 0x23, 0x00, 0x00, 0x00, 0x00, 0x01, 0x4E, 0x9C, 0x80, 0x0D, 0x00, 0x00, 0x00, 0x05, 0xDC}};

TServoConfig Build(TServoFields fields) { return BuildConfig(fields, '.'); }

TEST(BuildConfigTest, StartingWindowGivesStartingRecord)
{
    EXPECT_EQ(Build({}), kStartingRecord);
}

TEST(ShowConfigTest, StartingRecordShowsBack)
{
    const TShownConfig shown = ShowConfig(kStartingRecord, '.');
    EXPECT_EQ(shown.DeadBand, "6");
    EXPECT_EQ(shown.LockIndex, 1);
    EXPECT_EQ(shown.Lower, "998");
    EXPECT_EQ(shown.Upper, "1997");
    EXPECT_EQ(shown.Neutral, "1500");
}

struct DeadBandCase {
    const char* text;
    int code;
};

class DeadBandCodeTest : public ::testing::TestWithParam<DeadBandCase> {};

TEST_P(DeadBandCodeTest, StoresLowSixBits)
{
    TServoFields fields;
    fields.DeadBand = GetParam().text;
    EXPECT_EQ(Build(fields).Bytes[1], GetParam().code) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, DeadBandCodeTest,
    ::testing::Values(DeadBandCase{"6.0", 35}, DeadBandCase{"0.4", 63}, DeadBandCase{"13", 0},
                      DeadBandCase{"6.1", 34}, DeadBandCase{"6.3", 34}, DeadBandCase{"12.9", 0},
                      DeadBandCase{"0", 1}, DeadBandCase{"14", 59}, DeadBandCase{"abc", 35},
                      DeadBandCase{"", 35}, DeadBandCase{"6,0", 35}, DeadBandCase{" 6.4 ", 33}));

TEST(BuildConfigTest, CommaLocaleReadsCommaDecimals)
{
    TServoFields fields;
    fields.DeadBand = "6,1";
    EXPECT_EQ(BuildConfig(fields, ',').Bytes[1], 34);
    fields.DeadBand = "6.1";  // not a number under that locale: the default 6.0
    EXPECT_EQ(BuildConfig(fields, ',').Bytes[1], 35);
    EXPECT_EQ(ShowConfig(kStartingRecord, ',').DeadBand, "6");
    TServoConfig record = kStartingRecord;
    StoreCode(record, Field::DeadBand, 1);
    EXPECT_EQ(ShowConfig(record, ',').DeadBand, "12,8");
}

TEST(BuildConfigTest, AbsurdDeadBandRaisesInsteadOfStoring)
{
    TServoFields fields;
    fields.DeadBand = "1e19";
    EXPECT_THROW(Build(fields), ConversionError);
    fields.DeadBand = "-2e18";
    EXPECT_THROW(Build(fields), ConversionError);
    fields.DeadBand = "1e17";  // large but still a 64-bit code: wraps quietly
    EXPECT_NO_THROW(Build(fields));
}

struct LimitCase {
    const char* name;
    const char* lower;
    const char* upper;
    const char* neutral;
    int lowerCode;
    int upperCode;
};

class LimitCodeTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LimitCodeTest, RoundsAndMovesToNeutral)
{
    const LimitCase& c = GetParam();
    TServoFields fields;
    fields.Lower = c.lower;
    fields.Upper = c.upper;
    fields.Neutral = c.neutral;
    const TServoConfig record = Build(fields);
    EXPECT_EQ(record.Bytes[7], c.lowerCode);
    EXPECT_EQ(record.Bytes[8], c.upperCode);
}

INSTANTIATE_TEST_SUITE_P(Limits, LimitCodeTest,
    ::testing::Values(LimitCase{"HalfToEvenUp", "1120", "2000", "1500", 88, 156},
                      LimitCase{"HalfToEvenDown", "1440", "2080", "1500", 112, 162},
                      LimitCase{"OnGrid", "992", "2000", "1500", 78, 156},
                      LimitCase{"LowerAboveNeutralMoves", "1600", "2000", "1500", 117, 156},
                      LimitCase{"UpperNotANumberMoves", "1000", "abc", "1500", 78, 117},
                      LimitCase{"UpperWraps", "1000", "3300", "1500", 78, 2},
                      LimitCase{"LowerNotANumber", "", "2000", "1500", 78, 156}),
    [](const auto& row) { return std::string(row.param.name); });

struct NeutralCase {
    const char* text;
    int byte9;
    int byte10;
};

class NeutralCodeTest : public ::testing::TestWithParam<NeutralCase> {};

TEST_P(NeutralCodeTest, StoresThirteenBits)
{
    TServoFields fields;
    fields.Neutral = GetParam().text;
    const TServoConfig record = Build(fields);
    EXPECT_EQ(record.Bytes[9], GetParam().byte9) << GetParam().text;
    EXPECT_EQ(record.Bytes[10], GetParam().byte10) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Neutral, NeutralCodeTest,
    ::testing::Values(NeutralCase{"1500", 0x80, 0x0D}, NeutralCase{"1640", 0x00, 0x11},
                      NeutralCase{"1360", 0x00, 0x0A}, NeutralCase{"2240", 0x00, 0x00},
                      NeutralCase{"950", 0xC0, 0x1F}, NeutralCase{"x", 0x80, 0x0D},
                      // 1792 x (N - 960) wraps in 32 bits instead of overflowing.
                      NeutralCase{"2147483647", 0xFA, 0x07}, NeutralCase{"-2147483648", 0x00, 0x08}));

TEST(BuildConfigTest, NeutralSignalHighByteFirst)
{
    TServoFields fields;
    fields.Signal = "-1";
    TServoConfig record = Build(fields);
    EXPECT_EQ(record.Bytes[14], 0xFF);
    EXPECT_EQ(record.Bytes[15], 0xFF);
    fields.Signal = "$1234";
    record = Build(fields);
    EXPECT_EQ(record.Bytes[14], 0x12);
    EXPECT_EQ(record.Bytes[15], 0x34);
}

TEST(BuildConfigTest, LockIndexAndUntouchedBytes)
{
    TServoFields fields;
    fields.LockIndex = 0;
    const TServoConfig record = Build(fields);
    EXPECT_EQ(record.Bytes[6], 0);
    for (int i : {0, 2, 3, 4, 5, 11, 12, 13})
        EXPECT_EQ(record.Bytes[static_cast<std::size_t>(i)], 0) << "byte " << i;
}

// 32 (N - 960) / 5 has fifths for fractions: .4 rounds down, .6 up.
TEST(BuildConfigTest, NeutralCodeRoundsToNearest)
{
    for (auto [neutral, code] : {std::pair{"961", 6}, {"962", 13}, {"963", 19}, {"964", 26}, {"1501", 3462},
                                 {"1502", 3469}}) {
        TServoFields fields;
        fields.Neutral = neutral;
        EXPECT_EQ(CodeOf(Build(fields), Field::Neutral), code) << neutral;
    }
}

// 960 + 5 P / 32 lands on a half at 3440 and 3472 and just beside it one
// code either way.
TEST(ShowConfigTest, NeutralBesideTheHalvesRoundsToNearest)
{
    for (auto [code, shown] : {std::pair{3439, "1497"}, {3441, "1498"}, {3471, "1502"}, {3473, "1503"}}) {
        TServoConfig record;
        StoreCode(record, Field::Neutral, static_cast<std::uint64_t>(code));
        EXPECT_EQ(ShowConfig(record, '.').Neutral, shown) << code;
    }
}

// The top codes round to 2240, which would be stored back as code 0 (960):
// they show as 2239 and come back near where they were.
TEST(ShowConfigTest, TopNeutralCodesShowWhatStoresBackNearThem)
{
    for (auto [code, shown, back] : {std::tuple{8188, "2239", 8186}, {8189, "2239", 8186}, {8191, "2239", 8186}}) {
        TServoConfig record;
        StoreCode(record, Field::Neutral, static_cast<std::uint64_t>(code));
        TServoFields fields;
        fields.Neutral = ShowConfig(record, '.').Neutral;
        EXPECT_EQ(fields.Neutral, shown) << code;
        EXPECT_EQ(CodeOf(Build(fields), Field::Neutral), back) << code;
    }
}

TEST(ShowConfigTest, NeutralHalvesGoToEven)
{
    TServoConfig record;
    StoreCode(record, Field::Neutral, 3440);
    EXPECT_EQ(ShowConfig(record, '.').Neutral, "1498");
    StoreCode(record, Field::Neutral, 3472);
    EXPECT_EQ(ShowConfig(record, '.').Neutral, "1502");
    StoreCode(record, Field::Neutral, 3456);
    EXPECT_EQ(ShowConfig(record, '.').Neutral, "1500");
}

TEST(ShowConfigTest, LimitCodesAndIgnoredBits)
{
    TServoConfig record;
    record.Bytes = {0xFF, 0xC0 | 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 70, 164, 0x80, 0xED, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const TShownConfig shown = ShowConfig(record, '.');
    EXPECT_EQ(shown.DeadBand, "12.4");
    EXPECT_EQ(shown.LockIndex, 0);
    EXPECT_EQ(shown.Lower, "896");
    EXPECT_EQ(shown.Upper, "2099");
    EXPECT_EQ(shown.Neutral, "1500");
}

TEST(RoundTripTest, EveryNeutralPositionSurvives)
{
    for (int neutral = 960; neutral <= 2239; ++neutral) {
        TServoFields fields;
        fields.Neutral = std::to_string(neutral);
        ASSERT_EQ(ShowConfig(Build(fields), '.').Neutral, fields.Neutral);
    }
}

TEST(RoundTripTest, DeadBandComesBackOnItsGrid)
{
    for (auto [typed, shown] : {std::pair{"6.1", "6.2"}, {"6.3", "6.2"}, {"0.4", "0.4"}, {"13.0", "13"}}) {
        TServoFields fields;
        fields.DeadBand = typed;
        EXPECT_EQ(ShowConfig(Build(fields), '.').DeadBand, shown) << typed;
    }
}

TEST(CheckLimitsTest, LimitAtTheNeutralPositionIsNotRed)
{
    TLimitCheck check = CheckLimits("1500", "1500", "1500");
    EXPECT_FALSE(check.LowerRed);
    EXPECT_FALSE(check.UpperRed);
    check = CheckLimits("1500", "1501", "1499");
    EXPECT_TRUE(check.LowerRed);
    EXPECT_TRUE(check.UpperRed);
}

TEST(CheckLimitsTest, RedSidesAndSpinBounds)
{
    TLimitCheck check = CheckLimits("1500", "1000", "2000");
    EXPECT_FALSE(check.LowerRed);
    EXPECT_FALSE(check.UpperRed);
    EXPECT_EQ(check.LowerSpinMax, 1500);
    EXPECT_EQ(check.UpperSpinMin, 1500);

    check = CheckLimits("1500", "1600", "abc");
    EXPECT_TRUE(check.LowerRed);
    EXPECT_TRUE(check.UpperRed) << "a non-number upper limit counts as 1000";

    check = CheckLimits("900", "1000", "abc");
    EXPECT_TRUE(check.LowerRed);
    EXPECT_FALSE(check.UpperRed);
    check = CheckLimits("70000", "1000", "2000");
    EXPECT_EQ(check.LowerSpinMax, 70000 - 65536);
}

TEST(MirrorTest, DeadBandToTenthsAndBack)
{
    EXPECT_EQ(DeadBandMirror("6.2", '.'), 62);
    EXPECT_EQ(DeadBandMirror("junk", '.'), 60);
    EXPECT_EQ(DeadBandMirror("6.25", '.'), 62);
    EXPECT_EQ(DeadBandMirror("1e300", '.'), INT32_MAX);
    EXPECT_EQ(DeadBandMirror("-1e9", '.'), INT32_MIN);
    EXPECT_EQ(DeadBandFromMirror("62", '.'), "6.2");
    EXPECT_EQ(DeadBandFromMirror("130", '.'), "13.0");
    EXPECT_EQ(DeadBandFromMirror("4", ','), "0,4");
    EXPECT_THROW(DeadBandFromMirror("6.2", '.'), ConversionError);
    EXPECT_THROW(DeadBandFromMirror("", '.'), ConversionError);
}

}  // namespace
}  // namespace rvz
