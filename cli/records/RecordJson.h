// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Records as JSON, both ways, in one place: what read --json prints and the
// history keeps, {"values": {NAME: value...}, "registers": {"01": "23"...}},
// and what write, init, batch, diff and the history read back. The values
// are for people; where both are given, the registers are the record.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "KnownRecord.h"
#include "ServoValues.h"

namespace rvz::cli {

// JSON as this tool reads it: discarded when it is not JSON or nests
// deeper than kJsonDepth (a deeper nest would exhaust the stack when
// copied), and with the first key that stands twice in one object noted
// in twice, when given.
inline constexpr int kJsonDepth = 16;
nlohmann::json ParseShallowJson(const std::string& text, std::string* twice = nullptr);

// JSON as text on one line. Text that is not UTF-8 (a file name in
// another encoding) shows U+FFFD where its bytes were, instead of
// stopping the program after a write has gone out.
std::string JsonText(const nlohmann::json& json);

// A setting's value as the window shows it: the lock as its letter, the
// others as numbers.
nlohmann::json SettingValueJson(const TServoConfig& record, Field field);

// The known registers, {"01": "23", ...}.
nlohmann::json RegistersJson(const KnownRecord& known);
// The values whose registers are all known, and the known registers.
nlohmann::json KnownRecordJson(const KnownRecord& known);
// The registers of the settings, with or without the neutral signal's.
nlohmann::json RecordJson(const TServoConfig& record, bool withSignal);

// A "registers" object read into known: each key two hex digits naming one
// of allowed, each value a text of two hex digits. The first key that is
// not such, or nullopt.
struct RegisterProblem {
    std::string key;
    enum Kind { NotARegister, NotAByte, Twice } kind = NotARegister;
};
std::optional<RegisterProblem> RegistersFromJson(const nlohmann::json& registers,
                                                 const std::vector<std::size_t>& allowed, KnownRecord& known);

// The record of such JSON, from its registers (any of the sixteen); none
// when they are missing or not as written.
std::optional<KnownRecord> KnownFromJson(const nlohmann::json& json);

// The values and registers of such JSON, as values given to a command. Why
// it cannot be taken (not such JSON, a key named twice or unknown, a value
// that is neither a number nor a text, values and registers that
// disagree), or nullopt. A number with a zero fraction counts as the whole
// number.
std::optional<std::string> ValuesFromJson(const std::string& text, const std::string& where,
                                          std::vector<GivenValue>& given);

}  // namespace rvz::cli
