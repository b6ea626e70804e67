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
// note, or a link in place of one.
bool IsPrivate(const std::filesystem::path& folder)
{
    struct stat status {};
    return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
           (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

}  // namespace

std::filesystem::path PrivateSessionFolder()
{
    std::filesystem::path folder;
    // A relative folder would follow the working folder.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        folder = std::filesystem::path(runtime) / "rivivev-uvezi";
    } else {
        std::error_code error;
        const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
        if (error || !temporary.is_absolute())
            return {};
        folder = temporary / ("rivivev-uvezi-" + std::to_string(::geteuid()));
    }
    ::mkdir(folder.c_str(), S_IRWXU);
    return IsPrivate(folder) ? folder : std::filesystem::path();
}

}  // namespace rvz
