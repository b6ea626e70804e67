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

// Waits (a few seconds at most) for the lock at path, creating the file
// when missing; null, with why in error, when it cannot be had.
std::unique_ptr<HistoryLock> TakeHistoryLock(const std::filesystem::path& path, std::string& error);

}  // namespace rvz::cli
