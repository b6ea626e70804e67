// SPDX-License-Identifier: GPL-3.0-or-later
// The number readers and the exact rounding.
#include <gtest/gtest.h>

#include <limits>

#include "NumberText.h"

namespace rvz {
namespace {

struct IntegerCase {
    const char* text;
    std::optional<std::int32_t> expected;
};

class ParseIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIntegerTest, ReadsOrRefuses)
{
    EXPECT_EQ(ParseInteger(GetParam().text), GetParam().expected) << "text: '" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseIntegerTest,
    ::testing::Values(IntegerCase{"1500", 1500}, IntegerCase{"   42", 42}, IntegerCase{"+7", 7},
                      IntegerCase{"-1", -1}, IntegerCase{"007", 7}, IntegerCase{"$FF", 255},
                      IntegerCase{"xff", 255}, IntegerCase{"X10", 16}, IntegerCase{"0x5DC", 1500},
                      IntegerCase{"0X5dc", 1500}, IntegerCase{"$FFFFFFFF", -1}, IntegerCase{"$000000010", 16},
                      IntegerCase{"2147483647", 2147483647}, IntegerCase{"-2147483648", INT32_MIN},
                      IntegerCase{"2147483648", std::nullopt}, IntegerCase{"-2147483649", std::nullopt},
                      IntegerCase{"$100000000", std::nullopt}, IntegerCase{"2 ", std::nullopt},
                      IntegerCase{"1e3", std::nullopt}, IntegerCase{"", std::nullopt},
                      IntegerCase{"   ", std::nullopt}, IntegerCase{"-", std::nullopt},
                      IntegerCase{"$", std::nullopt}, IntegerCase{"0x", std::nullopt},
                      IntegerCase{"-$10", std::nullopt}, IntegerCase{"1,5", std::nullopt},
                      IntegerCase{"\t5", std::nullopt}, IntegerCase{"99999999999999999999", std::nullopt}));

TEST(ReadIntegerTest, FallsBackOnlyForNonNumbers)
{
    EXPECT_EQ(ReadInteger("abc", 1000), 1000);
    EXPECT_EQ(ReadInteger("0", 1000), 0);
}

struct RoundCase {
    const char* text;
    std::int64_t factor;
    std::int64_t offset;
    std::optional<std::int64_t> expected;
};

class RoundAffineTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundAffineTest, RoundsExactValueHalfToEven)
{
    const RoundCase& c = GetParam();
    const auto value = ParseDecimal(c.text, '.');
    ASSERT_TRUE(value) << c.text;
    EXPECT_EQ(RoundAffine(*value, c.factor, c.offset), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(DeadBandAndMirror, RoundAffineTest,
    ::testing::Values(RoundCase{"6.1", -5, 65, 34}, RoundCase{"6.3", -5, 65, 34}, RoundCase{"12.9", -5, 65, 0},
                      RoundCase{"6.0", -5, 65, 35}, RoundCase{"0.4", -5, 65, 63}, RoundCase{"13", -5, 65, 0},
                      RoundCase{"0", -5, 65, 65}, RoundCase{"14", -5, 65, -5}, RoundCase{"-0.1", -5, 65, 66},
                      RoundCase{"-0.3", -5, 65, 66}, RoundCase{"6.1000000000000000000001", -5, 65, 34},
                      RoundCase{"6.0999999999999999999999", -5, 65, 35}, RoundCase{"61e-1", -5, 65, 34},
                      RoundCase{"0.061E2", -5, 65, 34}, RoundCase{"1e-999999999999", -5, 65, 65},
                      RoundCase{"6.25", 10, 0, 62}, RoundCase{"6.35", 10, 0, 64}, RoundCase{"-6.25", 10, 0, -62},
                      RoundCase{"6.2", 10, 0, 62}, RoundCase{"2e18", -5, 65, std::nullopt},
                      RoundCase{"-2e18", -5, 65, std::nullopt}, RoundCase{"1e400", -5, 65, std::nullopt},
                      RoundCase{"1e999999999999999", 10, 0, std::nullopt}, RoundCase{"0e999999", -5, 65, 65},
                      RoundCase{"1844674407370955161", -5, 65, -9223372036854775740},
                      RoundCase{"1844674407370955175", -5, 65, std::nullopt},
                      RoundCase{"1000000000000000000", -5, 65, -4999999999999999935}));

// At the edges of the signed 64-bit range, from both sides and with the
// offset at its limits: one past is refused, the limit itself is kept.
constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
INSTANTIATE_TEST_SUITE_P(Int64Limits, RoundAffineTest,
    ::testing::Values(RoundCase{"9223372036854775807", 1, 0, kMax64}, RoundCase{"9223372036854775808", 1, 0, std::nullopt},
                      RoundCase{"9223372036854775806.5", 1, 0, kMax64 - 1},
                      RoundCase{"9223372036854775807.5", 1, 0, std::nullopt},
                      RoundCase{"-9223372036854775808", 1, 0, kMin64}, RoundCase{"-9223372036854775808.5", 1, 0, kMin64},
                      RoundCase{"-9223372036854775808.6", 1, 0, std::nullopt},
                      RoundCase{"-9223372036854775809", 1, 0, std::nullopt}, RoundCase{"1", 1, kMax64, std::nullopt},
                      RoundCase{"1", -1, kMin64, std::nullopt}, RoundCase{"0.5", 1, kMax64 - 1, kMax64 - 1},
                      RoundCase{"0.5", 1, kMax64, std::nullopt}, RoundCase{"18446744073709551615", 1, kMin64, kMax64},
                      RoundCase{"18446744073709551616", 1, kMin64, std::nullopt},
                      RoundCase{"18446744073709551615", -1, kMax64, kMin64},
                      RoundCase{"18446744073709551614.5", -1, kMax64, kMin64},
                      RoundCase{"18446744073709551615.5", 1, kMin64, std::nullopt},
                      RoundCase{"-18446744073709551615.4", 1, kMax64, kMin64},
                      RoundCase{"-18446744073709551615.6", 1, kMax64, std::nullopt}));

TEST(ParseDecimalTest, AcceptsLocaleSeparatorAndSpaces)
{
    EXPECT_TRUE(ParseDecimal("  6,2  ", ','));
    EXPECT_FALSE(ParseDecimal("6.2", ','));
    EXPECT_TRUE(ParseDecimal("+.5", '.'));
    EXPECT_TRUE(ParseDecimal("5.", '.'));
    EXPECT_TRUE(ParseDecimal("1E+3", '.'));
    for (const char* bad : {"", " ", ".", "e5", "1e", "1e+", "6.2x", "--6", "6 .2", "0x10", "1,000.5"})
        EXPECT_FALSE(ParseDecimal(bad, '.')) << "'" << bad << "'";
}

TEST(RoundHalfEvenDivTest, HalvesGoToEven)
{
    EXPECT_EQ(RoundHalfEvenDiv(5 * 1120, 64), 88);
    EXPECT_EQ(RoundHalfEvenDiv(5 * 1440, 64), 112);
    EXPECT_EQ(RoundHalfEvenDiv(5 * 2080, 64), 162);
    EXPECT_EQ(RoundHalfEvenDiv(-7, 2), -4);
    EXPECT_EQ(RoundHalfEvenDiv(-5, 2), -2);
    EXPECT_EQ(RoundHalfEvenDiv(-6, 4), -2);
    EXPECT_EQ(RoundHalfEvenDiv(-7, 4), -2);
}

// Sound for every argument the header allows: denominators beyond 2^62,
// exponents at the 64-bit limits.
TEST(RoundingLimitsTest, ExtremeArgumentsStayExact)
{
    constexpr std::int64_t kMax = INT64_MAX;
    EXPECT_EQ(RoundHalfEvenDiv(kMax, kMax), 1);
    EXPECT_EQ(RoundHalfEvenDiv(kMax / 2 + 1, kMax), 1) << "just above a half";
    EXPECT_EQ(RoundHalfEvenDiv(kMax / 2, kMax), 0) << "just below a half";
    EXPECT_EQ(RoundHalfEvenDiv(INT64_MIN, kMax), -1);
    EXPECT_EQ(RoundHalfEvenDiv(std::int64_t{1} << 62, (std::int64_t{1} << 62) + 2), 1);
    EXPECT_THROW(RoundHalfEvenDiv(1, 0), std::invalid_argument);

    ExactDecimal huge{false, "1", INT64_MAX};
    EXPECT_EQ(RoundAffine(huge, 1, 0), std::nullopt);
    ExactDecimal tiny{false, "7", INT64_MIN};
    EXPECT_EQ(RoundAffine(tiny, 5, 3), 3);
    ExactDecimal negativeTiny{true, "7", INT64_MIN + 1};
    EXPECT_EQ(RoundAffine(negativeTiny, 5, 3), 3);
}

TEST(FormatTenthsTest, FixedAndShortestForms)
{
    EXPECT_EQ(FormatTenths(60, '.'), "6.0");
    EXPECT_EQ(FormatTenths(4, ','), "0,4");
    EXPECT_EQ(FormatTenths(-5, '.'), "-0.5");
    EXPECT_EQ(FormatTenths(INT32_MIN, '.'), "-214748364.8");
    EXPECT_EQ(FormatTenthsShortest(60, '.'), "6");
    EXPECT_EQ(FormatTenthsShortest(128, ','), "12,8");
    EXPECT_EQ(FormatTenthsShortest(130, '.'), "13");
}

}  // namespace
}  // namespace rvz
