// SPDX-License-Identifier: GPL-3.0-or-later
// The history's lock on POSIX systems: an flock on a file of its own.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "HistoryLock.h"

namespace rvz::cli {

namespace {

class FlockHeld final : public HistoryLock {
public:
    explicit FlockHeld(int fd) : m_fd(fd) {}
    ~FlockHeld() override
    {
        if (m_fd >= 0)
            ::close(m_fd);  // closing lets go of the lock
    }

private:
    int m_fd;
};

int OpenLockFile(const std::filesystem::path& path, LockUse use)
{
    constexpr int kFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (use == LockUse::Append)
        return ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    const int fd = ::open(path.c_str(), O_RDWR | kFlags);
    if (fd >= 0 || use == LockUse::Check || (errno != EACCES && errno != EROFS && errno != EPERM))
        return fd;
    return ::open(path.c_str(), O_RDONLY | kFlags);
}

}  // namespace

std::unique_ptr<HistoryLock> TakeHistoryLock(const std::filesystem::path& path, std::string& error, LockUse use)
{
    const int fd = OpenLockFile(path, use);
    if (fd < 0) {
        // Where no lock's file is, nobody appends to wait for; one that
        // cannot be opened at all cannot keep a reader out either.
        const bool nobody = use == LockUse::Check ? errno == ENOENT : use == LockUse::Read;
        if (nobody)
            return std::make_unique<FlockHeld>(-1);
        error = std::strerror(errno);
        return nullptr;
    }
    // Another program holds it only while it appends or reads: a moment.
    const int how = use == LockUse::Read ? LOCK_SH : LOCK_EX;
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (::flock(fd, how | LOCK_NB) == 0)
            return std::make_unique<FlockHeld>(fd);
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    error = errno == EWOULDBLOCK ? "another program holds it" : std::strerror(errno);
    ::close(fd);
    return nullptr;
}

}  // namespace rvz::cli
