// SPDX-License-Identifier: GPL-3.0-or-later
#include "History.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "FileWriting.h"
#include "HistoryLock.h"
#include "OutputFiles.h"
#include "RecordJson.h"
#include "ServoOperations.h"
#include "ServoValues.h"

namespace rvz::cli {

namespace {

std::filesystem::path LockPath(const std::filesystem::path& file)
{
    std::filesystem::path lock = file;
    lock += ".lock";
    return lock;
}

// Why the history's file, or the folder it belongs in, cannot be used as
// one (a folder, a pipe, a device, a folder that is a file); nullopt when
// it is a regular file or may become one.
std::optional<std::string> NotAHistoryFile(const std::filesystem::path& file)
{
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::regular)
        return std::nullopt;
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
// file put in the old one's place: a crash leaves one or the other.
std::optional<std::string> Trim(const std::filesystem::path& file, std::uintmax_t limit)
{
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A history that could not be read whole is kept as it is, never trimmed to nothing.
    if (!in.is_open() || in.bad())
        return std::string("it could not be read to be trimmed");
    in.close();
    // Bounded by the text, so it fits a size_t even where that is 32 bits.
    const auto keep = static_cast<std::size_t>(std::min<std::uintmax_t>(limit / 4 * 3, text.size()));
    std::size_t start = text.size() - keep;
    if (start > 0) {
        const std::size_t lineEnd = text.find('\n', start - 1);
        start = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
    }
    if (auto failed = files::SaveBesideAndReplace(file, std::string_view(text).substr(start)))
        return "its trimmed copy " + *failed;
    return std::nullopt;
}

}  // namespace

nlohmann::json EntryJson(const HistoryEntry& entry)
{
    return {{"time", entry.time},
            {"command", entry.command},
            {"arguments", entry.arguments},
            {"how", entry.block ? "block" : "registers"},
            {"before", KnownRecordJson(entry.before)},
            {"written", KnownRecordJson(entry.written)},
            {"after", entry.after ? KnownRecordJson(*entry.after) : nlohmann::json(nullptr)},
            {"result", entry.result},
            {"verified", entry.verified}};
}

std::optional<HistoryEntry> EntryFromJson(const nlohmann::json& line)
{
    const auto text = [&](const char* key) {
        return line.contains(key) && line[key].is_string() ? std::optional(line[key].get<std::string>()) : std::nullopt;
    };
    if (!line.is_object() || !text("time") || !text("command") || !text("how") || !text("result") ||
        !line.contains("arguments") || !line["arguments"].is_array() || !line.contains("verified") ||
        !line["verified"].is_boolean() || !line.contains("after"))
        return std::nullopt;
    HistoryEntry entry;
    entry.time = *text("time");
    entry.command = *text("command");
    entry.result = *text("result");
    entry.block = *text("how") == "block";
    entry.verified = line["verified"].get<bool>();
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
    if (!line["after"].is_null()) {
        entry.after = KnownFromJson(line["after"]);
        if (!entry.after)
            return std::nullopt;
    }
    return entry;
}

KnownRecord KnownBefore(const std::vector<HistoryEntry>& entries, const TServoConfig& read)
{
    KnownRecord known = ReadFromServo(read);
    TServoConfig expected = read;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
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

std::optional<std::string> CheckHistory(const std::filesystem::path& file, bool dryRun)
{
    if (file.empty())
        return std::string("the system names no folder for it (set XDG_STATE_HOME or HOME)");
    if (auto refused = NotAHistoryFile(file))
        return "it " + *refused;
    std::error_code error;
    if (dryRun) {  // nothing is made: the nearest folder there is must take a new file
        std::filesystem::path folder = file.parent_path();
        while (!std::filesystem::exists(folder, error) && folder != folder.parent_path())
            folder = folder.parent_path();
        const bool there = std::filesystem::exists(file, error);
        if (auto refused = CheckCanWrite(there ? file : folder / "history", OutputMode::Append))
            return "it " + *refused;
        return std::nullopt;
    }
    std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        return "its folder \"" + file.parent_path().string() + "\" cannot be made (" + error.message() + ")";
    std::string why;
    const auto lock = TakeHistoryLock(LockPath(file), why);
    if (!lock)
        return "its lock cannot be taken (" + why + ")";
    if (auto refused = CheckCanWrite(file, OutputMode::Append))
        return "it " + *refused;
    return std::nullopt;
}

std::optional<std::string> AppendHistory(const std::filesystem::path& file, const HistoryEntry& entry,
                                         std::uintmax_t limit)
{
    if (auto problem = CheckHistory(file))
        return problem;
    std::string why;
    const auto lock = TakeHistoryLock(LockPath(file), why);
    if (!lock)
        return "its lock cannot be taken (" + why + ")";
    std::string line = JsonText(EntryJson(entry)) + "\n";
    {
        // A line that a crash left without its end is ended first.
        std::ifstream in(file, std::ios::binary | std::ios::ate);
        if (in && in.tellg() > 0) {
            in.seekg(-1, std::ios::end);
            if (in.get() != '\n')
                line.insert(0, "\n");
        }
    }
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << line;
    out.flush();
    if (!out)
        return std::string("the line could not be written (is the disk full?)");
    out.close();
    std::error_code error;
    if (std::filesystem::file_size(file, error) > limit && !error)
        return Trim(file, limit);
    return std::nullopt;
}

std::optional<std::string> ReadHistory(const std::filesystem::path& file, std::vector<HistoryEntry>& entries,
                                       int& skipped)
{
    if (auto refused = NotAHistoryFile(file))
        return refused;
    std::error_code error;
    if (!std::filesystem::exists(file, error))
        return std::nullopt;
    std::string why;
    const auto lock = TakeHistoryLock(LockPath(file), why);
    if (!lock)
        return "its lock cannot be taken (" + why + ")";
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::string("it cannot be read");
    for (std::string line; std::getline(in, line);) {
        if (line.empty())
            continue;
        const nlohmann::json parsed = ParseShallowJson(line);
        if (auto entry = EntryFromJson(parsed))
            entries.push_back(std::move(*entry));
        else
            ++skipped;
    }
    return std::nullopt;
}

}  // namespace rvz::cli
