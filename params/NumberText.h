// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading numbers from the texts that the user types, and the exact rounding
// that the conversions need.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rvz {

// A value that cannot be converted; the window shows the message.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A signed 32-bit whole number: leading spaces, then an optional sign and
// decimal digits, or, without a sign, hexadecimal digits after "$", "x", "X",
// "0x" or "0X" (at most 32 bits, read as two's complement). Nothing may follow
// the digits. nullopt for anything else.
std::optional<std::int32_t> ParseInteger(std::string_view text);
std::int32_t ReadInteger(std::string_view text, std::int32_t fallback);

// A decimal number exactly as typed: value = (negative ? -1 : 1) x digits x 10^exponent.
// digits has no leading zeros; it is empty for zero.
struct ExactDecimal {
    bool negative = false;
    std::string digits;
    std::int64_t exponent = 0;
};

// Optional spaces, optional sign, digits with the separator, optional exponent
// ("E" or "e", optional sign, digits), optional trailing spaces.
std::optional<ExactDecimal> ParseDecimal(std::string_view text, char separator);

// The nearest integer to offset + factor x value, exact halves to the even
// integer; nullopt when the result lies beyond the signed 64-bit range.
std::optional<std::int64_t> RoundAffine(const ExactDecimal& value, std::int64_t factor, std::int64_t offset);

// The nearest integer to numerator / denominator, exact halves to the even
// integer, for every numerator and every denominator > 0; throws
// std::invalid_argument for a denominator of 0 or less.
std::int64_t RoundHalfEvenDiv(std::int64_t numerator, std::int64_t denominator);

// tenths / 10 with exactly one decimal ("6.0", "-0.5").
std::string FormatTenths(std::int64_t tenths, char separator);
// tenths / 10 in the shortest form, without a trailing zero ("6", "12.8").
std::string FormatTenthsShortest(std::int64_t tenths, char separator);

// The decimal separator of the user's locale; "." when it cannot be told.
char UserDecimalSeparator();

}  // namespace rvz
