// SPDX-License-Identifier: GPL-3.0-or-later
#include "History.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <random>

#include "FileWriting.h"
#include "HistoryLock.h"
#include "OutputFiles.h"
#include "RecordJson.h"
#include "ServoOperations.h"
#include "ServoValues.h"

namespace rvz::cli {

namespace {

// How much of the file one read from its end takes.
constexpr std::size_t kChunk = 64 * 1024;
// No entry comes near this; a longer line is passed over without being kept.
constexpr std::size_t kLongestLine = 256 * 1024;
// Outcomes kept while their entries are looked for.
constexpr std::size_t kOutcomesKept = 1024;
// What of the command line a line keeps: enough to tell the write, well
// within the longest line a reader takes.
constexpr std::size_t kArgumentKept = 1024;
constexpr std::size_t kArgumentsKept = 16 * 1024;
// An outcome that says nothing was sent takes its entry out of the history.
constexpr const char* kNotSent = "not sent";

std::filesystem::path LockPath(const std::filesystem::path& file)
{
    std::filesystem::path lock = file;
    lock += ".lock";
    return lock;
}

// Why the history's file, or the folder it belongs in, cannot be used as
// one (a folder, a pipe, a device, a link that leads nowhere or round in
// a loop, a folder that is a file); nullopt when it is a regular file or
// may become one.
std::optional<std::string> NotAHistoryFile(const std::filesystem::path& file)
{
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::regular)
        return std::nullopt;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, error))) {
        const std::string leadsTo = "is a link to \"" + std::filesystem::read_symlink(file, error).string() + "\"";
        switch (status.type()) {
        case std::filesystem::file_type::not_found:
            return leadsTo + ", which does not exist";
        case std::filesystem::file_type::none:
        case std::filesystem::file_type::unknown:
            return leadsTo + " that cannot be followed (a loop?)";
        default:
            return leadsTo + ", which is not a regular file (a folder, a pipe or a device?)";
        }
    }
    if (status.type() != std::filesystem::file_type::not_found)
        return std::string("is not a regular file (a folder, a pipe or a device?)");
    for (std::filesystem::path folder = file.parent_path(); !folder.empty(); folder = folder.parent_path()) {
        const auto above = std::filesystem::status(folder, error);
        if (above.type() == std::filesystem::file_type::directory)
            return std::nullopt;
        if (above.type() != std::filesystem::file_type::not_found)
            return "cannot be made: \"" + folder.string() + "\" is not a folder";
        if (folder == folder.parent_path())
            break;
    }
    return std::nullopt;
}

bool KnowsSettings(const KnownRecord& known)
{
    return std::all_of(kConfigRegisters.begin(), kConfigRegisters.end(), [&](std::size_t reg) { return known.known[reg]; });
}

// Trims to the newest whole lines within three quarters of limit, by a new
// file put in the old one's place: a crash leaves one or the other. Only
// what is kept is read, so a history that could not be trimmed for a long
// while costs no more to trim than one that could.
std::optional<std::string> Trim(const std::filesystem::path& file, std::uintmax_t size, std::uintmax_t limit)
{
    const std::uintmax_t keep = std::min<std::uintmax_t>(limit / 4 * 3, size);
    // One byte more, to see whether what is kept begins a line.
    const std::uintmax_t from = size - keep - (size > keep ? 1 : 0);
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::string text(static_cast<std::size_t>(size - from), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    // A history that could not be read whole is kept as it is, never trimmed to nothing.
    if (!in)
        return std::string("it could not be read to be trimmed");
    in.close();  // Windows replaces no file that is open
    std::size_t start = 0;
    if (from > 0) {
        const std::size_t lineEnd = text.find('\n');
        start = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
    }
    if (auto failed = files::SaveBesideAndReplace(file, std::string_view(text).substr(start)))
        return "its trimmed copy " + *failed;
    return std::nullopt;
}

// Why there can be no history at file at all, or nullopt.
std::optional<std::string> Unusable(const std::filesystem::path& file)
{
    if (file.empty())
        return std::string("the system names no folder for it (set XDG_STATE_HOME or HOME)");
    if (auto refused = NotAHistoryFile(file))
        return "it " + *refused;
    return std::nullopt;
}

// Makes the folder, takes the lock (held in lock) and checks that the file
// takes a line; why not, or nullopt.
std::optional<std::string> LockForAppend(const std::filesystem::path& file, std::unique_ptr<HistoryLock>& lock)
{
    if (auto unusable = Unusable(file))
        return unusable;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        return "its folder \"" + file.parent_path().string() + "\" cannot be made (" + error.message() + ")";
    std::string why;
    lock = TakeHistoryLock(LockPath(file), why);
    if (!lock)
        return "its lock cannot be taken (" + why + ")";
    if (auto refused = CheckCanWrite(file, OutputMode::Append))
        return "it " + *refused;
    return std::nullopt;
}

// Appends one line, ending first a line a crash left without its end.
Appended AppendLine(const std::filesystem::path& file, std::string line, std::uintmax_t limit)
{
    std::unique_ptr<HistoryLock> lock;
    if (auto problem = LockForAppend(file, lock))
        return {problem, std::nullopt};
    {
        std::ifstream in(file, std::ios::binary | std::ios::ate);
        if (in && in.tellg() > 0) {
            in.seekg(-1, std::ios::end);
            if (in.get() != '\n')
                line.insert(0, "\n");
        }
    }
    std::error_code error;
    const std::uintmax_t sizeBefore = std::filesystem::exists(file, error) ? std::filesystem::file_size(file, error) : 0;
    std::ofstream out(file, std::ios::binary | std::ios::app);
    errno = 0;
    out << line;
    out.flush();
    if (!out) {
        const int code = errno;
        // What part of the line went in is taken out again, where it can be.
        out.close();
        if (!error)
            std::filesystem::resize_file(file, sizeBefore, error);
        return {"the line could not be written (" +
                    (code != 0 ? std::string(std::strerror(code)) : std::string("is the disk full?")) + ")",
                std::nullopt};
    }
    out.close();
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size > limit)
        if (auto failed = Trim(file, size, limit))
            return {std::nullopt, failed};
    return {};
}

}  // namespace

std::vector<std::string> RecordedArguments(const std::vector<std::string>& arguments)
{
    std::vector<std::string> kept;
    std::size_t total = 0;
    for (const std::string& argument : arguments) {
        if (total >= kArgumentsKept) {
            kept.push_back("...");
            break;
        }
        std::size_t length = std::min({argument.size(), kArgumentKept, kArgumentsKept - total});
        while (length < argument.size() && length > 0 && (static_cast<unsigned char>(argument[length]) & 0xC0) == 0x80)
            --length;  // not in the middle of a character
        kept.push_back(length < argument.size() ? argument.substr(0, length) + "..." : argument);
        total += length;
    }
    return kept;
}

std::string NewEntryId()
{
    thread_local std::mt19937_64 random{(static_cast<std::uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}()};
    char id[20];
    std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(random()));
    return id;
}

nlohmann::json EntryJson(const HistoryEntry& entry)
{
    nlohmann::json line = {{"time", entry.time},
                           {"command", entry.command},
                           {"arguments", entry.arguments},
                           {"how", entry.block ? "block" : "registers"},
                           {"before", KnownRecordJson(entry.before)},
                           {"written", KnownRecordJson(entry.written)},
                           {"after", entry.after ? KnownRecordJson(*entry.after) : nlohmann::json(nullptr)},
                           {"result", entry.result},
                           {"verified", entry.verified}};
    if (!entry.id.empty())
        line["id"] = entry.id;
    if (!entry.adapter.empty())
        line["adapter"] = entry.adapter;
    return line;
}

namespace {

// Gives entry the outcome of a line {"outcome": id, "after", "result", "verified"}; false when it is no outcome.
bool TakeOutcome(HistoryEntry& entry, const nlohmann::json& outcome)
{
    if (!outcome.contains("result") || !outcome["result"].is_string() || !outcome.contains("verified") ||
        !outcome["verified"].is_boolean() || !outcome.contains("after"))
        return false;
    std::optional<KnownRecord> after;
    if (!outcome["after"].is_null() && !(after = KnownFromJson(outcome["after"])))
        return false;
    entry.after = after;
    entry.result = outcome["result"].get<std::string>();
    entry.verified = outcome["verified"].get<bool>();
    return true;
}

}  // namespace

std::optional<HistoryEntry> EntryFromJson(const nlohmann::json& line)
{
    const auto text = [&](const char* key) {
        return line.contains(key) && line[key].is_string() ? std::optional(line[key].get<std::string>()) : std::nullopt;
    };
    if (!line.is_object() || !text("time") || !text("command") || !text("how") || !line.contains("arguments") ||
        !line["arguments"].is_array() || (line.contains("id") && !text("id")) ||
        (line.contains("adapter") && !(text("adapter") && ParseAdapterChoice(*text("adapter")))))
        return std::nullopt;
    HistoryEntry entry;
    if (!TakeOutcome(entry, line))
        return std::nullopt;
    entry.time = *text("time");
    entry.command = *text("command");
    entry.block = *text("how") == "block";
    entry.id = text("id").value_or("");
    entry.adapter = text("adapter").value_or("");
    for (const nlohmann::json& argument : line["arguments"]) {
        if (!argument.is_string())
            return std::nullopt;
        entry.arguments.push_back(argument.get<std::string>());
    }
    const auto before = KnownFromJson(line.value("before", nlohmann::json()));
    const auto written = KnownFromJson(line.value("written", nlohmann::json()));
    if (!before || !written)
        return std::nullopt;
    entry.before = *before;
    entry.written = *written;
    return entry;
}

HistoryReader::HistoryReader(std::filesystem::path file) : m_file(std::move(file)) {}

std::optional<std::string> HistoryReader::Open()
{
    if (auto refused = NotAHistoryFile(m_file))
        return "it " + *refused;
    std::error_code error;
    if (!std::filesystem::exists(m_file, error))
        return std::nullopt;
    // Held only while the file is opened and its end taken: every line
    // before that end is whole, what is appended after it is not read, and
    // a trim puts a new file in its place while this one is read. So no
    // read, however long, keeps a write waiting.
    std::string why;
    const auto lock = TakeHistoryLock(LockPath(m_file), why, LockUse::Read);
    if (!lock)
        return "its lock cannot be taken (" + why + ")";
    m_in.open(m_file, std::ios::binary | std::ios::ate);
    if (!m_in)
        return std::string("it cannot be opened");
    m_unread = static_cast<std::uintmax_t>(m_in.tellg());
    return std::nullopt;
}

bool HistoryReader::ReadChunk()
{
    if (m_unread == 0) {
        if (m_partial.empty())
            return false;
        m_lines.push_back(std::move(m_partial));  // the file's first line
        m_partial.clear();
        return true;
    }
    const auto size = static_cast<std::size_t>(std::min<std::uintmax_t>(kChunk, m_unread));
    m_unread -= size;
    std::string text(size, '\0');
    m_in.seekg(static_cast<std::streamoff>(m_unread));
    m_in.read(text.data(), static_cast<std::streamsize>(size));
    if (!m_in) {  // what cannot be read is as if it were not there
        m_unread = 0;
        m_partial.clear();
        ++m_skipped;
        return false;
    }
    text += m_partial;
    m_partial.clear();
    std::size_t start = 0;
    if (m_unread > 0) {
        start = text.find('\n');
        if (start == std::string::npos) {
            // A line this long is none of ours: what is kept of it is only enough to see that.
            m_partial = text.size() > kLongestLine ? text.substr(0, kLongestLine) : std::move(text);
            return true;
        }
        m_partial = text.substr(0, start++);
    }
    for (std::size_t end; start <= text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        m_lines.push_back(text.substr(start, end - start));
    }
    return true;
}

std::optional<HistoryEntry> HistoryReader::Older()
{
    for (;;) {
        while (m_lines.empty())
            if (!ReadChunk())
                return std::nullopt;
        const std::string line = std::move(m_lines.back());
        m_lines.pop_back();
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        const nlohmann::json parsed = line.size() < kLongestLine ? ParseShallowJson(line) : nlohmann::json();
        if (parsed.is_object() && parsed.contains("outcome") && parsed["outcome"].is_string()) {
            // The newest of one id counts. An outcome follows its entry within
            // a few lines; one whose entry has not come for so many was left
            // by a trim, and is let go.
            if (m_outcomes.emplace(parsed["outcome"].get<std::string>(), parsed).second)
                m_outcomeOrder.push_back(parsed["outcome"].get<std::string>());
            if (m_outcomeOrder.size() > kOutcomesKept) {
                m_outcomes.erase(m_outcomeOrder.front());
                m_outcomeOrder.pop_front();
            }
            continue;
        }
        auto entry = EntryFromJson(parsed);
        if (!entry) {
            ++m_skipped;
            continue;
        }
        if (!entry->id.empty()) {
            const auto outcome = m_outcomes.find(entry->id);
            if (outcome != m_outcomes.end()) {
                if (!TakeOutcome(*entry, outcome->second))
                    ++m_skipped;  // an edited outcome: the entry stays as written ahead
                m_outcomes.erase(outcome);
            }
            if (entry->result == kNotSent)
                continue;
        }
        return entry;
    }
}

KnownRecord KnownBefore(HistoryReader& history, const TServoConfig& read)
{
    KnownRecord known = ReadFromServo(read);
    TServoConfig expected = read;
    for (int depth = 0; depth < kChainLimit; ++depth) {
        const auto entry = history.Older();
        if (!entry)
            break;
        // A write that failed, or that left something else, breaks the chain:
        // the servo read now may be another.
        if (!entry->after || !SameSettings(*entry->after, expected))
            break;
        if (entry->block) {
            if (!entry->written.known.all())
                break;
            for (std::size_t reg = 0; reg < TServoConfig::kSize; ++reg)
                if (!known.known[reg])
                    known.record.Bytes[reg] = entry->written.record.Bytes[reg];
            known.known.set();
            return known;
        }
        // A write leaves the block's other registers as they were before it.
        if (!KnowsSettings(entry->before))
            break;
        expected = entry->before.record;
    }
    return known;
}

std::optional<std::string> CheckHistory(const std::filesystem::path& file, bool dryRun, std::uintmax_t lineBytes)
{
    if (!dryRun) {
        std::unique_ptr<HistoryLock> lock;
        return LockForAppend(file, lock);
    }
    if (auto unusable = Unusable(file))
        return unusable;
    std::error_code error;
    std::string why;
    // A dry run makes nothing: what the real run would meet, in its order.
    std::filesystem::path folder = file.parent_path();
    while (!std::filesystem::exists(folder, error) && folder != folder.parent_path())
        folder = folder.parent_path();
    const bool lockThere = std::filesystem::symlink_status(LockPath(file), error).type() !=
                           std::filesystem::file_type::not_found;
    if (!lockThere && !files::FolderWritable(folder))
        return std::string("its lock cannot be taken (its folder cannot be written)");
    if (lockThere && !TakeHistoryLock(LockPath(file), why, LockUse::Check))
        return "its lock cannot be taken (" + why + ")";
    const bool there = std::filesystem::exists(file, error);
    if (auto refused = CheckCanWrite(there ? file : folder / "history", OutputMode::Append))
        return "it " + *refused;
    if (auto full = files::NoRoomFor(there ? file : folder / "history", lineBytes))
        return "its lines " + *full;
    return std::nullopt;
}

Appended AppendHistory(const std::filesystem::path& file, const HistoryEntry& entry, std::uintmax_t limit)
{
    return AppendLine(file, JsonText(EntryJson(entry)) + "\n", limit);
}

nlohmann::json OutcomeJson(const HistoryEntry& entry)
{
    return {{"outcome", entry.id},
            {"after", entry.after ? KnownRecordJson(*entry.after) : nlohmann::json(nullptr)},
            {"result", entry.result},
            {"verified", entry.verified}};
}

Appended AppendOutcome(const std::filesystem::path& file, const HistoryEntry& entry, std::uintmax_t limit)
{
    return AppendLine(file, JsonText(OutcomeJson(entry)) + "\n", limit);
}

std::optional<std::string> ReadHistory(const std::filesystem::path& file, std::vector<HistoryEntry>& entries,
                                       int& skipped, std::size_t newest, const std::string& adapter)
{
    HistoryReader reader(file);
    if (auto problem = reader.Open())
        return problem;
    std::vector<HistoryEntry> newestFirst;
    while (newestFirst.size() < newest) {
        auto entry = reader.Older();
        if (!entry)
            break;
        if (adapter.empty() || entry->adapter == adapter)
            newestFirst.push_back(std::move(*entry));
    }
    entries.insert(entries.end(), std::make_move_iterator(newestFirst.rbegin()),
                   std::make_move_iterator(newestFirst.rend()));
    skipped += reader.Skipped();
    return std::nullopt;
}

}  // namespace rvz::cli
