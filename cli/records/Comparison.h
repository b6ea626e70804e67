// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Two records side by side, as stored: what diff prints, what a dry run
// says it would change, and what the history shows a write changed. Only
// the registers both sides know are compared: a servo is read in the six
// registers of its settings, a parameter file gives all sixteen, JSON the
// registers of the values it names.

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "KnownRecord.h"
#include "ServoConfig.h"
#include "ServoValues.h"

namespace rvz::cli {

// Whether the six registers of the servo's settings are known and hold what servo's do.
bool SameSettings(const KnownRecord& known, const TServoConfig& servo);

struct Differences {
    std::vector<Field> settings;          // known on both sides, shown differently
    std::vector<std::size_t> registers;   // known on both sides, other bytes
    std::vector<Field> onlyTo;            // known on the second side only (the neutral signal of a block)
    bool Equal() const { return settings.empty() && registers.empty(); }
};

Differences Compare(const KnownRecord& from, const KnownRecord& to);

// One line per setting, "upper: 1997 -> 2010", then "registers: 08 9C -> 9D",
// or "no differences"; a setting known on the second side only shows "?".
std::string DifferencesText(const KnownRecord& from, const KnownRecord& to, const Differences& differences);
// {"equal": false, "settings": {"upper": {"from": 1997, "to": 2010}},
//  "registers": {"08": {"from": "9C", "to": "9D"}}}; an unknown side is null.
nlohmann::json DifferencesJson(const KnownRecord& from, const KnownRecord& to, const Differences& differences);

}  // namespace rvz::cli
