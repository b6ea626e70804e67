// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history of every write the command line makes: one JSON line per
// write, init, batch servo and undo, with what the servo held before, what
// was sent, what it held after and how it ended. Lines are appended under
// a lock, so two programs never interleave; a line a crash left torn is
// ended before the next, so it never spoils another; past a size the
// oldest lines are dropped, by a whole new file put in the old one's place.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Comparison.h"

namespace rvz::cli {

// The history's size: past this the oldest lines go, down to three quarters of it.
inline constexpr std::uintmax_t kHistoryLimit = 1024 * 1024;

// One write, as its line holds it.
struct HistoryEntry {
    std::string time;
    std::string command;  // write, init, batch or undo
    std::vector<std::string> arguments;
    bool block = false;   // sent as one parameter block (init, or the undo of one)
    KnownRecord before;   // what the servo held: as read, and a block's other registers when the history knows them
    KnownRecord written;  // what was sent: the six registers of a write, or the sixteen of a block
    std::optional<KnownRecord> after;  // what the servo held after, as read back or as sent; unknown when it failed
    std::string result;   // "written", "written and verified", "kept other values", "failed"
    bool verified = false;
};

nlohmann::json EntryJson(const HistoryEntry& entry);
// The entry of a line; nullopt for a line that is not one (torn, or edited).
std::optional<HistoryEntry> EntryFromJson(const nlohmann::json& line);

// What the history knows of the servo that was just read: its registers,
// and when the last block sent to it is on record (every write since then
// left what the next one found), the other registers of that block.
KnownRecord KnownBefore(const std::vector<HistoryEntry>& entries, const TServoConfig& read);

// Whether a line can be appended: the folder made, the lock taken, the file
// opened. Why not, or nullopt. Run before anything is sent.
std::optional<std::string> CheckHistory(const std::filesystem::path& file, bool dryRun = false);
// Appends one line. Why it failed, or nullopt.
std::optional<std::string> AppendHistory(const std::filesystem::path& file, const HistoryEntry& entry,
                                         std::uintmax_t limit = kHistoryLimit);
// The entries, oldest first; a missing file has none. Lines that are not
// entries are counted in skipped. Why the file cannot be read, or nullopt.
std::optional<std::string> ReadHistory(const std::filesystem::path& file, std::vector<HistoryEntry>& entries,
                                       int& skipped);

}  // namespace rvz::cli
