// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How every file of the program is written: the parameter files, the
// preferences, the command line's reports and the history's trimmed copy.
//
// A file is replaced whole by saving beside it: the content goes to a new
// file of an unused name in the same folder (so on the same file system),
// is flushed to the disk, and only then renamed over the target. A failure
// at any step removes that new file and nothing else; the target keeps what
// it held. The parameter file written by the window is the one exception:
// it is written in place under its lock, since a longer file keeps all but
// its first 16 bytes. It follows the same policy on what may be written:
//
//  - A symbolic link is written through: the file it leads to (through any
//    chain of links) is replaced, and the link stays a link to it.
//  - A link that leads nowhere is refused, never replaced by a file nor
//    followed to create what it names.
//  - Only a regular file is written: a folder (or a link to one), a pipe or
//    a device is refused before anything is opened.
//  - A file the writer may not write (read-only to it) is refused, as
//    writing it in place would be, although its folder may allow a rename.
//  - A replaced file keeps its permission bits (and on POSIX its owner and
//    group, where the writer may set them); a new file gets the defaults
//    (on POSIX 0666 less the umask).
//  - Locks are the writer's own business: a file held under a lock is
//    written in place by its owner (the parameter file, the history's
//    appends); the history trims under its own lock file.
//
// Reasons are phrases that follow the file's name: "\"x.svo\" is a folder".

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace rvz::files {

// Why a path may not be written, by the policy above.
enum class Refusal { None, CannotExamine, DanglingLink, NotRegularFile, ReadOnly };

// What a write to a path would write.
struct Target {
    std::filesystem::path file;  // the path, or the file its links lead to
    bool exists = false;         // false: a new file would be made there
    Refusal refusal = Refusal::None;
};

// Applies the policy above to path without writing anything: where a write
// would land, or why it may not be written.
std::optional<std::string> ResolveTarget(const std::filesystem::path& path, Target& target);

// file.XXXXXXXX.kind: a name beside file that nothing has, not even a link
// to nowhere. Only a file created exclusively under it is truly its own.
std::filesystem::path UnusedNameBeside(const std::filesystem::path& file, const char* kind);

// Whether a file can be made in folder: a file of a name of its own is
// created exclusively and removed again; nothing that was there is touched.
// Why not, or nullopt.
std::optional<std::string> ProbeFolder(const std::filesystem::path& folder);
inline bool FolderWritable(const std::filesystem::path& folder) { return !ProbeFolder(folder); }

// Why bytes more cannot be appended to file (or make a new one): the disk
// has less room, or the file would pass this process's file-size limit;
// nullopt when they fit. A dry run's answer to "would the append fail?".
std::optional<std::string> NoRoomFor(const std::filesystem::path& file, std::uintmax_t bytes);

// Replaces the file at path (or makes it) with content, as described above.
// Why it was not done, or nullopt.
std::optional<std::string> SaveBesideAndReplace(const std::filesystem::path& path, std::string_view content);

}  // namespace rvz::files
