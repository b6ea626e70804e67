// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a program leaves on the machine about its session with an adapter.
// A reply does not say which command it answers, and a program that ended
// without waiting (killed, crashed, a second Ctrl+C) may have left one on
// its way: the next program on that adapter would take it for the reply to
// its own first command. So each session notes until when a reply to what
// it sent may still come, and at a clean close that nothing can; the next
// session reads the note and, when a reply may still come, lets the link
// fall quiet before its first command.
//
// The note is written ahead of the commands it covers: a program killed
// between the two leaves a note that is too careful, never one that is too
// trusting.

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "LinkClock.h"

namespace rvz {

// One session's note, open while the session is.
class SessionNote {
public:
    virtual ~SessionNote() = default;
    // A reply to a command of this session may come until owedUntil (by
    // the clock the session waits by), or none can come any more.
    virtual void Write(std::optional<LinkTime> owedUntil) = 0;
};

// What the last session on an adapter left.
struct LeftBefore {
    enum class State {
        NothingOwed,  // a clean end, or no note at all
        Owed,         // a reply may come until owedUntil
        Unknown,      // a note that cannot be read: anything may be owed
    };
    State state = State::NothingOwed;
    LinkTime owedUntil{0};
};

class SessionRecords {
public:
    virtual ~SessionRecords() = default;
    struct Opened {
        LeftBefore left;
        std::unique_ptr<SessionNote> note;  // null when no note can be kept
    };
    // Reads what the last session on the adapter named key left, and opens
    // the note of the session that starts now.
    virtual Opened Open(const std::string& key) = 0;
};

// Notes kept as small files in a folder, one per adapter.
class FileSessionRecords final : public SessionRecords {
public:
    // An empty folder keeps no notes.
    explicit FileSessionRecords(std::filesystem::path folder) : m_folder(std::move(folder)) {}
    Opened Open(const std::string& key) override;

    // A note's one line, as written.
    static std::string NoteText(std::optional<LinkTime> owedUntil);
    // What a note's text says; Unknown when it says nothing we know.
    static LeftBefore ReadNote(const std::string& text);

private:
    std::filesystem::path m_folder;
};

// This user's notes on this machine: in a private folder that lives until
// the machine stops (the runtime folder on Linux, the temporary folder on
// Windows). Keeps none when no such folder can be had.
SessionRecords& HostSessionRecords();

// The folder for HostSessionRecords, created when missing; empty when the
// system names none, or the one it names may be shared with other users.
std::filesystem::path PrivateSessionFolder();

}  // namespace rvz
