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
    explicit FileNote(std::fstream file) : m_file(std::move(file)) {}
    void Write(std::optional<LinkTime> owedUntil) override
    {
        const std::string text = FileSessionRecords::NoteText(owedUntil);
        m_file.clear();
        m_file.seekp(0);
        m_file.write(text.data(), static_cast<std::streamsize>(text.size()));
        m_file.flush();
    }

private:
    std::fstream m_file;
};

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
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (file) {
        std::string text(kNoteLength, '\0');
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(file.gcount()));
        // An empty file is a note that was never written: its program
        // was killed before its first command, which then never went out.
        opened.left = text.empty() ? LeftBefore{} : ReadNote(text);
    } else {
        // No note: no session on this adapter since the machine started.
        std::ofstream(path, std::ios::binary).flush();
        file.open(path, std::ios::in | std::ios::out | std::ios::binary);
        if (!file)
            return opened;
    }
    opened.note = std::make_unique<FileNote>(std::move(file));
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
