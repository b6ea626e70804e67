// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionRecords.h"

#include <cctype>
#include <charconv>
#include <system_error>

namespace rvz {

namespace {

constexpr const char* kNothingOwed = "rivivev-uvezi session: nothing owed";
constexpr const char* kOwedUntil = "rivivev-uvezi session: owed until ";
// Every note is written over the last in place, so each is padded to one
// length: a shorter one would leave the end of a longer one behind.
constexpr std::size_t kNoteLength = 64;

// A key as a file name: letters, digits and dashes only.
std::string FileNameOf(const std::string& key)
{
    std::string name;
    for (char c : key)
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
    return name + ".session";
}

class FileNote final : public SessionNote {
public:
    FileNote(std::filesystem::path path, std::fstream file) : m_path(std::move(path)), m_file(std::move(file)) {}
    void Write(std::optional<LinkTime> owedUntil) override
    {
        const std::string text = FileSessionRecords::NoteText(owedUntil);
        m_file.clear();
        m_file.seekp(0);
        m_file.write(text.data(), static_cast<std::streamsize>(text.size()));
        m_file.flush();
        if (m_file)
            return;
        // A note that could not be written (a full disk, a size limit) must
        // not be left saying what it said: emptied, which needs no room, it
        // tells the next program that anything may be owed.
        std::error_code ignored;
        std::filesystem::resize_file(m_path, 0, ignored);
    }

private:
    std::filesystem::path m_path;
    std::fstream m_file;
};

constexpr auto kReadWrite = std::ios::in | std::ios::out | std::ios::binary;

}  // namespace

std::string FileSessionRecords::NoteText(std::optional<LinkTime> owedUntil)
{
    std::string text = owedUntil ? kOwedUntil + std::to_string(owedUntil->count()) + " ms" : kNothingOwed;
    text.resize(kNoteLength - 1, ' ');
    return text + "\n";
}

LeftBefore FileSessionRecords::ReadNote(const std::string& text)
{
    const std::string line = text.substr(0, text.find_last_not_of(" \n") + 1);
    if (line == kNothingOwed)
        return {LeftBefore::State::NothingOwed, LinkTime{0}};
    const std::string prefix = kOwedUntil;
    if (line.starts_with(prefix) && line.ends_with(" ms")) {
        const char* first = line.data() + prefix.size();
        const char* last = line.data() + line.size() - 3;
        LinkTime::rep until = 0;
        const auto [end, error] = std::from_chars(first, last, until);
        if (error == std::errc() && end == last && first != last)
            return {LeftBefore::State::Owed, LinkTime{until}};
    }
    return {LeftBefore::State::Unknown, LinkTime{0}};
}

SessionRecords::Opened FileSessionRecords::Open(const std::string& key)
{
    Opened opened;
    if (m_folder.empty() || key.empty())
        return opened;
    const std::filesystem::path path = m_folder / FileNameOf(key);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        // No note: no session on this adapter since the machine started. It
        // is made saying so, so that an empty one means a write that failed.
        std::ofstream(path, std::ios::binary) << NoteText(std::nullopt);
        std::fstream file(path, kReadWrite);
        if (file)
            opened.note = std::make_unique<FileNote>(path, std::move(file));
        return opened;
    }
    // Only a plain file of ours is a note: a link could lead anywhere, and
    // a pipe would hold the program until someone wrote to it.
    opened.left = {LeftBefore::State::Unknown, LinkTime{0}};
    if (error || status.type() != std::filesystem::file_type::regular)
        return opened;
    std::fstream file(path, kReadWrite);
    if (!file)
        return opened;  // one that cannot be read may say anything
    std::string text(kNoteLength, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    opened.left = ReadNote(text);
    opened.note = std::make_unique<FileNote>(path, std::move(file));
    return opened;
}

namespace {

// The folder is looked up at each session's start, so that a program sees
// the environment it runs in, however early the records were first asked for.
class HostRecords final : public SessionRecords {
public:
    Opened Open(const std::string& key) override
    {
        return key.empty() ? Opened{} : FileSessionRecords(PrivateSessionFolder()).Open(key);
    }
};

}  // namespace

SessionRecords& HostSessionRecords()
{
    static HostRecords records;
    return records;
}

}  // namespace rvz
