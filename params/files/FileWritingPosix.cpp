// SPDX-License-Identifier: GPL-3.0-or-later
// Writing files on POSIX systems: exclusive creation, fsync, then rename.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "FileWriting.h"
#include "FileWritingSystem.h"

namespace rvz::files {

namespace {

namespace fs = std::filesystem;

std::string Because(const char* what, int error) { return std::string(what) + " (" + std::generic_category().message(error) + ")"; }

fs::path FolderOf(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

// A file under a name of its own: O_EXCL never opens what another made,
// nor follows a link. -1 with errno when none could be made.
int CreateOwn(const fs::path& beside, const char* kind, fs::path& made)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = UnusedNameBeside(beside, kind);
        const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A write that moves nothing is a full disk.
bool WriteAll(int fd, std::string_view content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The owner first, since a change of owner clears the set-user-ID bits;
// only root (or an owner keeping its own group) may set it, so a refusal
// leaves the writer's.
bool KeepModeOf(const fs::path& old, int fd)
{
    struct stat status {};
    if (::stat(old.c_str(), &status) != 0)
        return false;
    if (::fchown(fd, status.st_uid, status.st_gid) != 0) {
        // Kept where allowed; the bits below matter more.
    }
    return ::fchmod(fd, status.st_mode & 07777) == 0;
}

// The rename lives in the folder, which is flushed too; a folder that
// cannot be flushed (some file systems) still holds the new file.
void FlushFolder(const fs::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool MayWrite(const fs::path& file) { return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0; }

std::optional<std::uintmax_t> FileSizeLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::nullopt;
    return static_cast<std::uintmax_t>(limit.rlim_cur);
}

std::optional<std::string> ProbeFolder(const fs::path& folder)
{
    fs::path made;
    const int fd = CreateOwn(folder / ".rivivev-uvezi", "probe", made);
    if (fd < 0)
        return Because("cannot be written", errno);
    ::close(fd);
    ::unlink(made.c_str());
    return std::nullopt;
}

std::optional<std::string> SaveBesideAndReplace(const fs::path& path, std::string_view content)
{
    Target target;
    if (auto refused = ResolveTarget(path, target))
        return refused;
    fs::path temporary;
    const int fd = CreateOwn(target.file, "part", temporary);
    if (fd < 0)
        return Because("cannot be written", errno);
    std::optional<std::string> failed;
    if (!WriteAll(fd, content))
        failed = Because("cannot be written", errno);
    else if (target.exists && !KeepModeOf(target.file, fd))
        failed = Because("cannot keep its permissions", errno);
    else if (::fsync(fd) != 0)
        failed = Because("cannot be stored on the disk", errno);
    // Only whole content, on the disk, takes the target's name.
    if (::close(fd) != 0 && errno != EINTR && !failed)
        failed = Because("cannot be written", errno);
    if (!failed && ::rename(temporary.c_str(), target.file.c_str()) != 0)
        failed = Because("cannot be put in place", errno);
    if (failed) {
        ::unlink(temporary.c_str());
        return failed;
    }
    FlushFolder(FolderOf(target.file));
    return std::nullopt;
}

}  // namespace rvz::files
