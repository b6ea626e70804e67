// SPDX-License-Identifier: GPL-3.0-or-later
#include "Conversions.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "NumberText.h"

namespace rvz {

namespace {

// dead band = 13 - D/5 us, so D = 65 - 5 x dead band.
constexpr std::int64_t kDeadBandOffset = 65;
constexpr std::int64_t kDeadBandFactor = -5;
constexpr std::int32_t kNeutralBase = 960;  // us at neutral code 0
// The highest neutral whose code fits the 13 bits (2239 us gives 8186).
constexpr std::int64_t kHighestStoredNeutral = 2239;

ExactDecimal DeadBandValue(std::string_view text, char separator)
{
    if (auto value = ParseDecimal(text, separator))
        return *value;
    return *ParseDecimal(kDefaultDeadBand, '.');
}

// A pulse limit of L us has code L / 12.8 = 5L / 64.
std::int64_t LimitCode(std::int32_t microseconds) { return RoundHalfEvenDiv(5 * std::int64_t{microseconds}, 64); }

// P = 32 (N - 960) / 5 = 1792 (N - 960) / 280. The product is formed in
// signed 32-bit arithmetic and wraps there, as the servo's own tools do, so
// neutral values beyond about +-1.2 million wrap rather than saturate.
std::int64_t NeutralCode(std::int32_t neutral)
{
    const std::uint32_t offset = static_cast<std::uint32_t>(neutral) - static_cast<std::uint32_t>(kNeutralBase);
    const auto product = static_cast<std::int32_t>(offset * 1792u);
    return RoundHalfEvenDiv(product, 280);
}

}  // namespace

TServoConfig BuildConfig(const TServoFields& fields, char decimalSeparator)
{
    TServoConfig config;

    const auto deadBandCode = RoundAffine(DeadBandValue(fields.DeadBand, decimalSeparator), kDeadBandFactor, kDeadBandOffset);
    if (!deadBandCode)
        throw ConversionError("The dead band \"" + fields.DeadBand + "\" is out of range and cannot be stored.");
    StoreCode(config, Field::DeadBand, static_cast<std::uint64_t>(*deadBandCode));

    StoreCode(config, Field::Lock, static_cast<std::uint64_t>(fields.LockIndex));

    const std::int32_t neutral = ReadInteger(fields.Neutral, kDefaultNeutral);
    const std::int32_t signal = ReadInteger(fields.Signal, kDefaultSignal);
    const std::int32_t lower = std::min(ReadInteger(fields.Lower, kDefaultLowerLimit), neutral);
    const std::int32_t upper = std::max(ReadInteger(fields.Upper, kDefaultUpperLimit), neutral);

    StoreCode(config, Field::Lower, static_cast<std::uint64_t>(LimitCode(lower)));
    StoreCode(config, Field::Upper, static_cast<std::uint64_t>(LimitCode(upper)));
    StoreCode(config, Field::Neutral, static_cast<std::uint64_t>(NeutralCode(neutral)));
    StoreCode(config, Field::Signal, static_cast<std::uint32_t>(signal));
    return config;
}

namespace {

bool InRange(std::int64_t value, std::int64_t highest) { return value >= 0 && value <= highest; }

// The exact neutral code, without the 32-bit product that BuildConfig forms.
std::int64_t ExactNeutralCode(std::int32_t neutral) { return RoundHalfEvenDiv(1792 * (std::int64_t{neutral} - kNeutralBase), 280); }

FieldProblem LimitProblem(std::string_view text, bool moved)
{
    const auto value = ParseInteger(text);
    if (!value)
        return FieldProblem::NotANumber;
    if (moved)
        return FieldProblem::Moved;
    return InRange(LimitCode(*value), MaxCode(Field::Lower)) ? FieldProblem::None : FieldProblem::Wraps;
}

}  // namespace

bool StoreField(TServoConfig& record, Field field, std::string_view text, char decimalSeparator)
{
    std::optional<std::int64_t> code;
    if (field == Field::DeadBand) {
        const auto deadBand = ParseDecimal(text, decimalSeparator);
        code = deadBand ? RoundAffine(*deadBand, kDeadBandFactor, kDeadBandOffset) : std::nullopt;
    } else if (const auto value = ParseInteger(text)) {
        switch (field) {
        case Field::Lower:
        case Field::Upper:
            code = LimitCode(*value);
            break;
        case Field::Neutral:
            code = ExactNeutralCode(*value);
            break;
        default:  // the lock's 0 or 1 and the signal are their own codes
            code = *value;
            break;
        }
    }
    if (!code || !InRange(*code, MaxCode(field)))
        return false;
    StoreCode(record, field, static_cast<std::uint64_t>(*code));
    return true;
}

TFieldProblems CheckFields(const TServoFields& fields, char decimalSeparator)
{
    TFieldProblems problems;
    if (const auto deadBand = ParseDecimal(fields.DeadBand, decimalSeparator); !deadBand) {
        problems.DeadBand = FieldProblem::NotANumber;
    } else {
        const auto code = RoundAffine(*deadBand, kDeadBandFactor, kDeadBandOffset);
        problems.DeadBand = code && InRange(*code, MaxCode(Field::DeadBand)) ? FieldProblem::None : FieldProblem::Wraps;
    }
    const TLimitCheck limits = CheckLimits(fields.Neutral, fields.Lower, fields.Upper);
    problems.Lower = LimitProblem(fields.Lower, limits.LowerRed);
    problems.Upper = LimitProblem(fields.Upper, limits.UpperRed);
    if (const auto neutral = ParseInteger(fields.Neutral); !neutral) {
        problems.Neutral = FieldProblem::NotANumber;
    } else {
        const std::int64_t code = ExactNeutralCode(*neutral);
        problems.Neutral = InRange(code, MaxCode(Field::Neutral)) ? FieldProblem::None : FieldProblem::Wraps;
    }
    if (const auto signal = ParseInteger(fields.Signal); !signal)
        problems.Signal = FieldProblem::NotANumber;
    else
        problems.Signal = InRange(*signal, MaxCode(Field::Signal)) ? FieldProblem::None : FieldProblem::Wraps;
    return problems;
}

TShownConfig ShowConfig(const TServoConfig& config, char decimalSeparator)
{
    TShownConfig shown;
    // 13 - D/5 in tenths is 130 - 2D: exact, never a half.
    shown.DeadBand = FormatTenthsShortest(130 - 2 * std::int64_t{CodeOf(config, Field::DeadBand)}, decimalSeparator);
    shown.LockIndex = static_cast<int>(CodeOf(config, Field::Lock));
    // 12.8 x code = 64 code / 5, never a half.
    shown.Lower = std::to_string(RoundHalfEvenDiv(64 * std::int64_t{CodeOf(config, Field::Lower)}, 5));
    shown.Upper = std::to_string(RoundHalfEvenDiv(64 * std::int64_t{CodeOf(config, Field::Upper)}, 5));
    // 960 + 5P/32 = (30720 + 5P) / 32: a half whenever P is 16 past a multiple of 32.
    // The top codes 8189 to 8191 lie nearer 2240 than 2239, but 2240 needs
    // code 8192, one past the 13 bits, and would be stored back as 960: they
    // show as 2239, so a record read and written back keeps its neutral near
    // where it was.
    const std::int64_t neutral = RoundHalfEvenDiv(32 * std::int64_t{kNeutralBase} + 5 * std::int64_t{CodeOf(config, Field::Neutral)}, 32);
    shown.Neutral = std::to_string(std::min<std::int64_t>(neutral, kHighestStoredNeutral));
    return shown;
}

TLimitCheck CheckLimits(std::string_view neutralText, std::string_view lowerText, std::string_view upperText)
{
    const std::int32_t neutral = ReadInteger(neutralText, kDefaultNeutral);
    TLimitCheck check;
    check.LowerRed = neutral < ReadInteger(lowerText, kDefaultLowerLimit);
    check.UpperRed = neutral > ReadInteger(upperText, kDefaultUpperLimit);
    // Spin bounds are 16-bit; a neutral position beyond that range wraps.
    check.LowerSpinMax = static_cast<std::int16_t>(static_cast<std::uint16_t>(neutral));
    check.UpperSpinMin = check.LowerSpinMax;
    return check;
}

std::int32_t DeadBandMirror(std::string_view deadBand, char decimalSeparator)
{
    const auto tenths = RoundAffine(DeadBandValue(deadBand, decimalSeparator), 10, 0);
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    if (!tenths)
        return DeadBandValue(deadBand, decimalSeparator).negative ? kMin : kMax;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(*tenths, kMin, kMax));
}

std::string DeadBandFromMirror(std::string_view mirror, char decimalSeparator)
{
    const auto tenths = ParseInteger(mirror);
    if (!tenths)
        throw ConversionError("'" + std::string(mirror) + "' is not a valid integer value");
    return FormatTenths(*tenths, decimalSeparator);
}

}  // namespace rvz
