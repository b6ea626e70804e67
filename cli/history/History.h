// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history of every write the command line makes: one JSON line per
// write, init, batch servo and undo, written and flushed before the first
// byte goes to the servo, with what the servo held and what is about to be
// sent; once the send has ended, a short line that names it gives what the
// servo held after and how it ended. A write whose outcome never came (the
// program was killed during the send) stays "unfinished". Lines are
// appended under a lock, so two programs never interleave; a line a crash
// left torn is ended before the next, so it never spoils another; past a
// size the oldest lines are dropped, by a whole new file put in the old
// one's place. It is read from its end, as far back as the reader needs.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Comparison.h"

namespace rvz::cli {

// The history's size: past this the oldest lines go, down to three quarters of it.
inline constexpr std::uintmax_t kHistoryLimit = 1024 * 1024;

// The result of a write whose outcome is not on record: the program ended
// during the send, so the servo may hold the old or the new value of each setting.
inline constexpr const char* kUnfinished = "unfinished";

// One write, as its lines hold it.
struct HistoryEntry {
    std::string time;
    std::string command;  // write, init, batch or undo
    std::vector<std::string> arguments;
    bool block = false;   // sent as one parameter block (init, or the undo of one)
    KnownRecord before;   // what the servo held: as read, and a block's other registers when the history knows them
    KnownRecord written;  // what was sent: the six registers of a write, or the sixteen of a block
    std::optional<KnownRecord> after;  // what the servo held after, as read back or as sent; unknown when it failed
    std::string result;   // "written", "written and verified", "kept other values", "failed", "unfinished"
    bool verified = false;
    std::string id;       // ties the outcome's line to the entry's; empty in lines written whole
    std::string adapter;  // the port path, or the number, of the adapter written through; empty in older lines

    bool Unfinished() const { return result == kUnfinished; }
};

// The command line as a line keeps it: each argument, and all of them,
// cut to a length no reader refuses, with "..." where cut.
std::vector<std::string> RecordedArguments(const std::vector<std::string>& arguments);

// A new entry's id: different for every entry, from any program at any time.
std::string NewEntryId();

nlohmann::json EntryJson(const HistoryEntry& entry);
// The line that gives an entry written ahead (by its id) its outcome.
nlohmann::json OutcomeJson(const HistoryEntry& entry);
// The entry of a line; nullopt for a line that is not one (torn, or edited).
std::optional<HistoryEntry> EntryFromJson(const nlohmann::json& line);

// Reads the history from its end, newest entry first, under its lock: a
// read costs what it reads, not what the file holds.
class HistoryReader {
public:
    explicit HistoryReader(std::filesystem::path file);
    // Why the history cannot be read, or nullopt; a missing file has no entries.
    std::optional<std::string> Open();
    // The next older entry; nullopt once the oldest has been given.
    std::optional<HistoryEntry> Older();
    // Lines passed over so far that are neither entries nor outcomes (torn, or edited).
    int Skipped() const { return m_skipped; }

private:
    bool ReadChunk();

    std::filesystem::path m_file;
    std::ifstream m_in;
    std::uintmax_t m_unread = 0;  // the bytes before what has been read
    std::string m_partial;        // the start of a line whose beginning is still unread
    std::vector<std::string> m_lines;  // whole lines read and not yet taken; the newest last
    std::map<std::string, nlohmann::json> m_outcomes;  // outcomes seen, by the id of their entry
    std::deque<std::string> m_outcomeOrder;            // their ids, as they were seen
    int m_skipped = 0;
};

// How far back the history looks for the last block sent to a servo: a
// write costs the same however long the history, and a block sent so many
// writes ago is not relied on.
inline constexpr int kChainLimit = 100;

// What the history knows of the servo that was just read: its registers,
// and when the last block sent to it is on record (every write since then,
// at most kChainLimit of them, left what the next one found), the other
// registers of that block.
KnownRecord KnownBefore(HistoryReader& history, const TServoConfig& read);

// Whether a line can be appended: the folder made, the lock taken, the file
// opened. Why not, or nullopt. Run before anything is sent. A dry run
// makes nothing, takes a lock only where one is there, and asks whether
// lineBytes more would fit on the disk and within the file-size limit.
std::optional<std::string> CheckHistory(const std::filesystem::path& file, bool dryRun = false,
                                        std::uintmax_t lineBytes = 0);

// What appending a line came to.
struct Appended {
    std::optional<std::string> failed;      // why the line is not in the history
    std::optional<std::string> notTrimmed;  // the line is in, but the oldest could not be dropped: why
};
// Appends the entry's line, flushed to the file.
Appended AppendHistory(const std::filesystem::path& file, const HistoryEntry& entry,
                       std::uintmax_t limit = kHistoryLimit);
// Appends the line that gives an appended entry (by its id) its outcome.
Appended AppendOutcome(const std::filesystem::path& file, const HistoryEntry& entry,
                       std::uintmax_t limit = kHistoryLimit);

// The newest entries, at most newest of them, oldest first. Lines that are
// not entries are counted in skipped. With adapter, only the writes made
// through it (as AdapterName::Text names it). Why the file cannot be read,
// or nullopt.
std::optional<std::string> ReadHistory(const std::filesystem::path& file, std::vector<HistoryEntry>& entries,
                                       int& skipped, std::size_t newest = SIZE_MAX,
                                       const std::string& adapter = {});

}  // namespace rvz::cli
