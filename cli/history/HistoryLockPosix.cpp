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
    ~FlockHeld() override { ::close(m_fd); }  // closing lets go of the lock

private:
    int m_fd;
};

}  // namespace

std::unique_ptr<HistoryLock> TakeHistoryLock(const std::filesystem::path& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    // Another program holds it only while it appends or reads: a moment.
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
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
