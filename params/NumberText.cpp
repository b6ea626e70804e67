// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace rvz {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view SkipLeadingSpaces(std::string_view text)
{
    const auto start = text.find_first_not_of(' ');
    return start == std::string_view::npos ? std::string_view{} : text.substr(start);
}

std::optional<std::int32_t> ParseHex(std::string_view digits)
{
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        const int v = HexValue(c);
        if (v < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(v);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    // Eight hexadecimal digits fill all 32 bits: "$FFFFFFFF" is -1.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<std::int32_t> ParseSignedDecimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// Reads an unsigned run of digits, saturating far beyond any useful exponent.
std::int64_t ReadExponentDigits(std::string_view digits)
{
    constexpr std::int64_t kSaturation = 1'000'000'000'000;
    std::int64_t value = 0;
    for (char c : digits)
        value = std::min(kSaturation, value * 10 + (c - '0'));
    return value;
}

enum class Fraction { Zero, BelowHalf, Half, AboveHalf };

// Classifies 0.[leadingZeros zeros][digits] against one half.
Fraction ClassifyFraction(std::int64_t leadingZeros, std::string_view digits)
{
    const auto last = digits.find_last_not_of('0');
    if (last == std::string_view::npos)
        return Fraction::Zero;
    digits = digits.substr(0, last + 1);
    if (leadingZeros > 0 || digits[0] < '5')
        return Fraction::BelowHalf;
    if (digits[0] > '5' || digits.size() > 1)
        return Fraction::AboveHalf;
    return Fraction::Half;
}

Fraction Complement(Fraction f)
{
    if (f == Fraction::BelowHalf)
        return Fraction::AboveHalf;
    if (f == Fraction::AboveHalf)
        return Fraction::BelowHalf;
    return f;
}

// digits x multiplier as a decimal digit string, exactly: long
// multiplication by the multiplier's own decimal digits.
std::string MultiplyDigits(std::string_view digits, std::uint64_t multiplier)
{
    if (digits.empty() || multiplier == 0)
        return {};
    const std::string factor = std::to_string(multiplier);
    // Column sums, least significant first; each stays below 20 x 81 plus a carry.
    std::vector<int> columns(digits.size() + factor.size(), 0);
    for (std::size_t i = 0; i < digits.size(); ++i)
        for (std::size_t j = 0; j < factor.size(); ++j)
            columns[i + j] += (digits[digits.size() - 1 - i] - '0') * (factor[factor.size() - 1 - j] - '0');
    std::string product;
    int carry = 0;
    for (const int column : columns) {
        const int v = column + carry;
        product.push_back(static_cast<char>('0' + v % 10));
        carry = v / 10;
    }
    while (product.size() > 1 && product.back() == '0')
        product.pop_back();
    std::reverse(product.begin(), product.end());
    return product;
}

// The decimal digits as an unsigned 64-bit number; nullopt from 2^64 on.
std::optional<std::uint64_t> DigitsValue(std::string_view digits)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (const char c : digits) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (kMax - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// offset + magnitude, or offset - magnitude when negative; nullopt outside
// the signed 64-bit range. Unsigned arithmetic wraps where signed would
// overflow, and the bounds are checked before it can.
std::optional<std::int64_t> AddToOffset(std::int64_t offset, bool negative, std::uint64_t magnitude)
{
    const auto base = static_cast<std::uint64_t>(offset);
    constexpr auto kMaxResult = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    constexpr auto kMinResult = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::min());
    if (!negative) {
        if (magnitude > kMaxResult - base)  // the room up to the largest int64
            return std::nullopt;
        return static_cast<std::int64_t>(base + magnitude);
    }
    if (magnitude > base - kMinResult)  // the room down to the smallest int64
        return std::nullopt;
    return static_cast<std::int64_t>(base - magnitude);
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text)
{
    text = SkipLeadingSpaces(text);
    if (text.empty())
        return std::nullopt;
    if (text[0] == '$' || text[0] == 'x' || text[0] == 'X')
        return ParseHex(text.substr(1));
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseHex(text.substr(2));
    return ParseSignedDecimal(text);
}

std::int32_t ReadInteger(std::string_view text, std::int32_t fallback)
{
    return ParseInteger(text).value_or(fallback);
}

std::optional<ExactDecimal> ParseDecimal(std::string_view text, char separator)
{
    text = SkipLeadingSpaces(text);
    const auto end = text.find_last_not_of(' ');
    text = end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);

    ExactDecimal result;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        result.negative = text[pos++] == '-';

    std::string mantissa;
    std::int64_t fractionDigits = 0;
    while (pos < text.size() && IsDigit(text[pos]))
        mantissa.push_back(text[pos++]);
    if (pos < text.size() && text[pos] == separator) {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            mantissa.push_back(text[pos++]);
            ++fractionDigits;
        }
    }
    if (mantissa.empty())
        return std::nullopt;

    std::int64_t exponent = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        bool negativeExponent = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            negativeExponent = text[pos++] == '-';
        const std::size_t digitsStart = pos;
        while (pos < text.size() && IsDigit(text[pos]))
            ++pos;
        if (pos == digitsStart)
            return std::nullopt;
        exponent = ReadExponentDigits(text.substr(digitsStart, pos - digitsStart));
        if (negativeExponent)
            exponent = -exponent;
    }
    if (pos != text.size())
        return std::nullopt;

    const auto firstSignificant = mantissa.find_first_not_of('0');
    result.digits = firstSignificant == std::string::npos ? std::string{} : mantissa.substr(firstSignificant);
    result.exponent = exponent - fractionDigits;
    return result;
}

std::optional<std::int64_t> RoundAffine(const ExactDecimal& value, std::int64_t factor, std::int64_t offset)
{
    const bool negative = value.negative != (factor < 0);
    const std::uint64_t magnitude =
        factor < 0 ? 0 - static_cast<std::uint64_t>(factor) : static_cast<std::uint64_t>(factor);
    const std::string digits = MultiplyDigits(value.digits, magnitude);

    // |factor x value| = whole + fraction.
    std::uint64_t whole = 0;
    Fraction fraction = Fraction::Zero;
    if (!digits.empty()) {
        const auto length = static_cast<std::int64_t>(digits.size());
        // 21 integer digits are at least 10^20, beyond reach of any int64
        // result whatever the offset. Written so that no exponent, however
        // near the 64-bit limits, overflows the sum.
        if (value.exponent > 20 - length)
            return std::nullopt;
        std::string_view integerDigits;
        std::string padded;
        if (value.exponent >= 0) {
            padded = digits + std::string(static_cast<std::size_t>(value.exponent), '0');
            integerDigits = padded;
        } else {
            // Below 10^-(length + 1) every value rounds the same way, so the
            // exponent is held there; -exponent alone could overflow.
            const std::int64_t fractionLength = value.exponent < -(length + 1) ? length + 1 : -value.exponent;
            if (length > fractionLength) {
                const auto split = static_cast<std::size_t>(length - fractionLength);
                integerDigits = std::string_view(digits).substr(0, split);
                fraction = ClassifyFraction(0, std::string_view(digits).substr(split));
            } else {
                fraction = ClassifyFraction(fractionLength - length, digits);
            }
        }
        // A whole part of 2^64 or more puts offset +- whole beyond int64
        // for every offset, whichever way the fraction rounds.
        const auto parsed = DigitsValue(integerDigits);
        if (!parsed)
            return std::nullopt;
        whole = *parsed;
    }

    // factor x value = -(whole + fraction) when negative: below a non-zero
    // fraction the integer is -(whole + 1), and the fraction is what is left
    // above it. The rounding then goes up by one or not.
    const bool borrow = negative && fraction != Fraction::Zero;
    if (borrow)
        fraction = Complement(fraction);
    const bool baseOdd = ((static_cast<std::uint64_t>(offset) ^ whole) & 1) != (borrow ? 1u : 0u);
    const bool roundUp = fraction == Fraction::AboveHalf || (fraction == Fraction::Half && baseOdd);
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    if (!negative) {
        if (roundUp && whole == kMax)
            return std::nullopt;
        return AddToOffset(offset, false, whole + (roundUp ? 1 : 0));
    }
    // -(whole + 1) + 1 when a borrowed integer rounds back up.
    if (borrow && !roundUp) {
        if (whole == kMax)
            return std::nullopt;
        return AddToOffset(offset, true, whole + 1);
    }
    return AddToOffset(offset, true, whole);
}

std::int64_t RoundHalfEvenDiv(std::int64_t numerator, std::int64_t denominator)
{
    if (denominator <= 0)
        throw std::invalid_argument("RoundHalfEvenDiv needs a positive denominator");
    std::int64_t quotient = numerator / denominator;
    std::int64_t remainder = numerator % denominator;
    if (remainder < 0) {  // floor division
        --quotient;
        remainder += denominator;
    }
    // The remainder against what is left to the next multiple, rather than
    // twice the remainder against the denominator, which would overflow for
    // denominators above 2^62.
    const std::int64_t rest = denominator - remainder;
    if (remainder > rest || (remainder == rest && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

std::string FormatTenths(std::int64_t tenths, char separator)
{
    const bool negative = tenths < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(tenths) : static_cast<std::uint64_t>(tenths);
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / 10);
    text += separator;
    text += static_cast<char>('0' + magnitude % 10);
    return text;
}

std::string FormatTenthsShortest(std::int64_t tenths, char separator)
{
    std::string text = FormatTenths(tenths, separator);
    if (text.back() == '0')
        text.resize(text.size() - 2);
    return text;
}

}  // namespace rvz
