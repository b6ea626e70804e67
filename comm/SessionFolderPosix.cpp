// SPDX-License-Identifier: GPL-3.0-or-later
// The session notes' folder on Linux: the user's runtime folder, which the
// system empties when the user's last session ends, or else a folder of the
// user's own in the temporary folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "SessionRecords.h"

namespace rvz {

namespace {

// A folder only this user may enter: another user could otherwise plant a
// note, or a link in place of one. One of ours that others may enter is
// closed to them.
std::filesystem::path MadePrivate(const std::filesystem::path& folder)
{
    ::mkdir(folder.c_str(), S_IRWXU);
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid())
        return {};
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0 && ::chmod(folder.c_str(), S_IRWXU) != 0)
        return {};
    return folder;
}

}  // namespace

std::filesystem::path PrivateSessionFolder()
{
    // The runtime folder first; where it is missing, shared, or holds a
    // folder of another user's (left by a run under sudo), one of our own
    // in the temporary folder. A relative folder would follow the working folder.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
        if (auto folder = MadePrivate(std::filesystem::path(runtime) / "rivivev-uvezi"); !folder.empty())
            return folder;
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error || !temporary.is_absolute())
        return {};
    return MadePrivate(temporary / ("rivivev-uvezi-" + std::to_string(::geteuid())));
}

}  // namespace rvz
