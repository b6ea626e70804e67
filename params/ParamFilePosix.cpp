// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file on POSIX systems: descriptors, fstat and flock.
#include "ParamFile.h"
#include "ParamFileInPlace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace rvz {

namespace {

ParamFileResult SystemFailure(ParamFileError error) { return {error, errno}; }

// An open descriptor, or what kept it from being opened; closes on every path.
class OpenedFile {
public:
    explicit OpenedFile(ParamFileResult failure) : m_failure(failure) {}
    explicit OpenedFile(int fd) : m_fd(fd) {}
    OpenedFile(OpenedFile&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1)), m_failure(other.m_failure)
    {
    }
    OpenedFile& operator=(OpenedFile&&) = delete;
    ~OpenedFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    ParamFileResult failure() const { return m_failure; }

    // Closes now, so that a failure to store the last write is seen.
    ParamFileResult Close()
    {
        if (::close(std::exchange(m_fd, -1)) != 0 && errno != EINTR)
            return SystemFailure(ParamFileError::WriteFailed);
        return {};
    }

private:
    int m_fd = -1;
    ParamFileResult m_failure;
};

// Opens without blocking, so that a pipe or a device can never hold the
// window; then checks what was opened (never the name, which could be
// swapped between a check and the open) and takes an exclusive lock, so a
// file that another program holds stays with it and this open fails.
OpenedFile OpenExclusive(const std::filesystem::path& file, int flags)
{
    const int fd = ::open(file.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        // A pipe without a reader refuses a non-blocking writer with ENXIO,
        // and a folder refuses a writer with EISDIR.
        const bool special = errno == ENXIO || errno == EISDIR;
        return OpenedFile(SystemFailure(special ? ParamFileError::NotRegularFile : ParamFileError::CannotOpen));
    }
    OpenedFile opened(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return OpenedFile(SystemFailure(ParamFileError::CannotOpen));
    if (!S_ISREG(status.st_mode))
        return OpenedFile(ParamFileResult{ParamFileError::NotRegularFile, 0});
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return OpenedFile(SystemFailure(errno == EWOULDBLOCK ? ParamFileError::InUse : ParamFileError::CannotOpen));
    return opened;
}

// Repeats a read or write until all size bytes moved; a partial transfer
// goes on where it stopped, an interrupted one is tried again. The count
// moved is left in done.
template <typename Transfer>
bool TransferFully(std::size_t size, std::size_t& done, Transfer&& transfer)
{
    done = 0;
    while (done < size) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

ParamFileResult ReadRecord(int fd, TServoConfig& record)
{
    std::size_t done = 0;
    errno = 0;
    if (TransferFully(record.Bytes.size(), done, [&](std::size_t at) {
            return ::read(fd, record.Bytes.data() + at, record.Bytes.size() - at);
        }))
        return {};
    // The end of the file before the 16th byte: too short to be a record.
    if (errno == 0)
        return {ParamFileError::NotParameterFile, 0};
    return SystemFailure(ParamFileError::ReadFailed);
}

ParamFileResult WriteRecordAtStart(OpenedFile& file, const TServoConfig& record)
{
    std::size_t done = 0;
    errno = 0;
    if (!TransferFully(record.Bytes.size(), done, [&](std::size_t at) {
            return ::pwrite(file.get(), record.Bytes.data() + at, record.Bytes.size() - at, static_cast<off_t>(at));
        }))
        return {ParamFileError::WriteFailed, errno != 0 ? errno : ENOSPC};
    return file.Close();
}

}  // namespace

ParamFileResult ReadParamFile(const std::filesystem::path& file, TServoConfig& config)
{
    OpenedFile opened = OpenExclusive(file, O_RDONLY);
    if (!opened.valid())
        return opened.failure();
    TServoConfig read;
    // A short file would leave fields without a defined value; it is refused whole.
    if (const ParamFileResult result = ReadRecord(opened.get(), read); !result)
        return result;
    config = read;
    return {};
}

ParamFileResult WriteParamFileInPlace(const std::filesystem::path& file, const TServoConfig& config)
{
    OpenedFile existing = OpenExclusive(file, O_WRONLY);
    if (existing.valid())
        return WriteRecordAtStart(existing, config);
    // What is there but is no regular file, or is held elsewhere, is never
    // created over.
    if (existing.failure().error == ParamFileError::NotRegularFile || existing.failure().error == ParamFileError::InUse)
        return existing.failure();

    // Creating replaces any file of that name with an empty one; the
    // truncation waits for the lock so a file held elsewhere is never emptied.
    OpenedFile created = OpenExclusive(file, O_WRONLY | O_CREAT);
    if (!created.valid())
        return created.failure();
    if (::ftruncate(created.get(), 0) != 0)
        return SystemFailure(ParamFileError::WriteFailed);
    return WriteRecordAtStart(created, config);
}

}  // namespace rvz
