#include "ParamFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace rvz {

namespace {

// Closes the descriptor on every path.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Opens the file and takes an exclusive lock on it; another program that
// holds the file keeps it, and this open fails.
int OpenExclusive(const std::filesystem::path& file, int flags)
{
    const int fd = ::open(file.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Repeats a read or write until all size bytes moved; a partial transfer
// goes on where it stopped, an interrupted one is tried again.
template <typename Transfer>
bool TransferFully(std::size_t size, Transfer&& transfer)
{
    std::size_t done = 0;
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

bool ReadFully(int fd, std::span<std::uint8_t> buffer)
{
    return TransferFully(buffer.size(), [&](std::size_t done) {
        return ::read(fd, buffer.data() + done, buffer.size() - done);
    });
}

bool WriteFullyAtStart(int fd, std::span<const std::uint8_t> bytes)
{
    return TransferFully(bytes.size(), [&](std::size_t done) {
        return ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    });
}

}  // namespace

bool ReadParamFile(const std::filesystem::path& file, TServoConfig& config)
{
    FileDescriptor fd(OpenExclusive(file, O_RDONLY));
    if (!fd.valid())
        return false;
    TServoConfig read;
    // A short file would leave fields without a defined value; it is refused whole.
    if (!ReadFully(fd.get(), read.Bytes))
        return false;
    config = read;
    return true;
}

bool WriteParamFile(const std::filesystem::path& file, const TServoConfig& config)
{
    FileDescriptor existing(OpenExclusive(file, O_WRONLY));
    if (existing.valid())
        return WriteFullyAtStart(existing.get(), config.Bytes);

    // Creating replaces any file of that name with an empty one; the
    // truncation waits for the lock so a file held elsewhere is never emptied.
    FileDescriptor created(OpenExclusive(file, O_WRONLY | O_CREAT));
    if (!created.valid() || ::ftruncate(created.get(), 0) != 0)
        return false;
    return WriteFullyAtStart(created.get(), config.Bytes);
}

}  // namespace rvz
