// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The arithmetic between the window's six values and the parameter record.
// It works on texts and bytes only; the window binds it to its controls.

#include <cstdint>
#include <string>
#include <string_view>

#include "ServoConfig.h"
#include "Settings.h"

namespace rvz {

// What a text that is not a number stands for, per field.
inline constexpr std::string_view kDefaultDeadBand = "6.0";
inline constexpr std::int32_t kDefaultLowerLimit = 1000;
// The upper limit falls back to 1000 too, not to the 2000 it starts with, so
// a non-number there is caught by the limit check.
inline constexpr std::int32_t kDefaultUpperLimit = 1000;
inline constexpr std::int32_t kDefaultNeutral = 1500;
inline constexpr std::int32_t kDefaultSignal = 1500;

// The six window values as the user sees them.
struct TServoFields {
    std::string DeadBand = "6.0";
    int LockIndex = 1;  // 0 "N", 1 "Y"
    std::string Lower = "1000";
    std::string Upper = "2000";
    std::string Neutral = "1500";
    std::string Signal = "1500";
};

// The record built from the fields. Pulse limits on the wrong side of the
// neutral position are moved to it in the record; the fields keep their
// texts. Throws ConversionError for a dead band too large to form a code.
TServoConfig BuildConfig(const TServoFields& fields, char decimalSeparator);

// Stores one value into its own bits of the record, by the same arithmetic
// as BuildConfig, leaving every other bit as it is: a pulse limit is not
// moved to the neutral position, and the lock takes "0" or "1". False, and
// the record untouched, for a text that is not a number or a value that
// its register cannot hold.
bool StoreField(TServoConfig& record, Field field, std::string_view text, char decimalSeparator);

// What showing a record puts into the fields. The neutral signal is not
// shown: its field keeps its text.
struct TShownConfig {
    std::string DeadBand;
    int LockIndex = 0;
    std::string Lower;
    std::string Upper;
    std::string Neutral;
};
TShownConfig ShowConfig(const TServoConfig& config, char decimalSeparator);

// The cross-check of the pulse limits against the neutral position.
struct TLimitCheck {
    bool LowerRed = false;
    bool UpperRed = false;
    std::int16_t LowerSpinMax = 0;  // the neutral position, as a 16-bit spin bound
    std::int16_t UpperSpinMin = 0;
};
TLimitCheck CheckLimits(std::string_view neutral, std::string_view lower, std::string_view upper);

// Where a field's value would not be stored as given: not a number (the
// field's default stands in), beyond what its register holds (it wraps), or
// a pulse limit on the wrong side of the neutral position (it is moved to
// it). Values between two steps of a register's grid are rounded, which is
// none of these.
enum class FieldProblem { None, NotANumber, Wraps, Moved };
struct TFieldProblems {
    FieldProblem DeadBand = FieldProblem::None;
    FieldProblem Lower = FieldProblem::None;
    FieldProblem Upper = FieldProblem::None;
    FieldProblem Neutral = FieldProblem::None;
    FieldProblem Signal = FieldProblem::None;
};
TFieldProblems CheckFields(const TServoFields& fields, char decimalSeparator);

// The hidden mirror of the dead-band field, in tenths of a microsecond.
// Tenths beyond the 32-bit range are held at its ends: the mirror only says
// where the next spin step starts.
std::int32_t DeadBandMirror(std::string_view deadBand, char decimalSeparator);

// The dead-band text for a mirror value, with exactly one decimal. Throws
// ConversionError when the mirror is not a whole number.
std::string DeadBandFromMirror(std::string_view mirror, char decimalSeparator);

}  // namespace rvz
