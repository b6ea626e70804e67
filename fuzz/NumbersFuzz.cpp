// SPDX-License-Identifier: GPL-3.0-or-later
// The number readers, the exact rounding and the conversions between the
// window's fields and the record.
#include "Conversions.h"
#include "FuzzInput.h"
#include "NumberText.h"

using namespace rvz;
using rvz::fuzz::FuzzInput;

namespace {

__extension__ using Int128 = __int128;  // wide enough for every product checked here

Int128 HalfEvenDiv(Int128 numerator, Int128 denominator)
{
    Int128 quotient = numerator / denominator;
    Int128 remainder = numerator % denominator;
    if (remainder < 0) {
        --quotient;
        remainder += denominator;
    }
    if (2 * remainder > denominator || (2 * remainder == denominator && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

void CheckDivision(FuzzInput& input)
{
    const auto numerator = input.Integral<std::int64_t>();
    const auto denominator = input.Integral<std::int64_t>();
    if (denominator <= 0)
        return;
    RVZ_FUZZ_REQUIRE(RoundHalfEvenDiv(numerator, denominator) == HalfEvenDiv(numerator, denominator));
}

// RoundAffine against 128-bit arithmetic, where the value is small enough
// for it; any ExactDecimal at all must merely not misbehave.
void CheckAffine(FuzzInput& input)
{
    ExactDecimal value;
    value.negative = input.Byte() & 1;
    const std::size_t length = input.Byte() % 24;
    for (std::size_t i = 0; i < length; ++i)
        value.digits += static_cast<char>('0' + (i == 0 ? 1 + input.Byte() % 9 : input.Byte() % 10));
    value.exponent = input.Byte() & 1 ? input.Integral<std::int64_t>() : static_cast<std::int8_t>(input.Byte()) % 24;
    const auto factor = static_cast<std::int64_t>(input.Integral<std::int32_t>());
    const auto offset = static_cast<std::int64_t>(input.Integral<std::int32_t>());
    const auto rounded = RoundAffine(value, factor, offset);

    if (value.digits.size() > 18 || value.exponent > 2 || value.exponent < -18)
        return;
    Int128 digits = 0;
    for (char digit : value.digits)
        digits = digits * 10 + (digit - '0');
    Int128 numerator = (value.negative ? -digits : digits) * factor;
    Int128 denominator = 1;
    for (std::int64_t e = value.exponent; e > 0; --e)
        numerator *= 10;
    for (std::int64_t e = value.exponent; e < 0; ++e)
        denominator *= 10;
    const Int128 exact = HalfEvenDiv(numerator + Int128{offset} * denominator, denominator);
    const bool fits = exact >= INT64_MIN && exact <= INT64_MAX;
    RVZ_FUZZ_REQUIRE(rounded.has_value() == fits);
    if (fits)
        RVZ_FUZZ_REQUIRE(*rounded == static_cast<std::int64_t>(exact));
}

// Building from fields, showing the record and building again settles after
// one pass: what the window shows builds the record it came from.
void CheckFields(FuzzInput& input)
{
    const char separator = input.Byte() & 1 ? ',' : '.';
    TServoFields fields;
    fields.DeadBand = input.String();
    fields.LockIndex = input.Byte() & 1;
    fields.Lower = input.String();
    fields.Upper = input.String();
    fields.Neutral = input.String();
    fields.Signal = input.String();
    ParseInteger(fields.Lower);
    ReadInteger(fields.Upper, 0);
    DeadBandMirror(fields.DeadBand, separator);
    CheckLimits(fields.Neutral, fields.Lower, fields.Upper);
    try {
        DeadBandFromMirror(fields.Neutral, separator);
    } catch (const ConversionError&) {
    }

    TServoConfig first;
    try {
        first = BuildConfig(fields, separator);
    } catch (const ConversionError&) {
        return;
    }
    auto showAndBuild = [&](const TServoConfig& record) {
        const TShownConfig shown = ShowConfig(record, separator);
        TServoFields again{shown.DeadBand, shown.LockIndex, shown.Lower, shown.Upper, shown.Neutral, fields.Signal};
        return BuildConfig(again, separator);
    };
    const TServoConfig second = showAndBuild(first);
    RVZ_FUZZ_REQUIRE(showAndBuild(second) == second);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    switch (input.Byte() % 3) {
    case 0:
        CheckDivision(input);
        break;
    case 1:
        CheckAffine(input);
        break;
    default:
        CheckFields(input);
        break;
    }
    return 0;
}
