// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lock that lets one program at a time at the history: held while a
// line is appended, the file trimmed or read, so that two programs never
// interleave their lines and none reads a file half-trimmed. It is a file
// of its own beside the history, since trimming puts a new history file
// in the old one's place. An flock on POSIX systems, an open with a share
// mode that admits no other opener on Windows.

#include <filesystem>
#include <memory>
#include <string>

namespace rvz::cli {

class HistoryLock {
public:
    virtual ~HistoryLock() = default;
};

enum class LockUse {
    Append,  // the lock's file is made when missing
    // Reading makes nothing, and a folder this user cannot write has a
    // history to read all the same: the lock's file is opened to read, and
    // where there is none, nobody appends there to be waited for (one who
    // begins while the file is read leaves at most a line it passes over).
    Read,
    Check,  // a dry run makes nothing: the lock is taken only where its file is
};

// Waits (a few seconds at most) for the lock at path; null, with why in
// error, when it cannot be had.
std::unique_ptr<HistoryLock> TakeHistoryLock(const std::filesystem::path& path, std::string& error,
                                             LockUse use = LockUse::Append);

}  // namespace rvz::cli
