// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file on Windows: a handle opened with no sharing, so that
// no other program may open the file while it is read or written.
#include <windows.h>

#include <cerrno>
#include <utility>

#include "ParamFile.h"
#include "ParamFileInPlace.h"

namespace rvz {

namespace {

// The few Windows errors the messages tell apart, as errno values.
int ErrnoFor(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

ParamFileResult SystemFailure(ParamFileError error) { return {error, ErrnoFor(::GetLastError())}; }

class OpenedFile {
public:
    explicit OpenedFile(ParamFileResult failure) : m_failure(failure) {}
    explicit OpenedFile(HANDLE handle) : m_handle(handle) {}
    OpenedFile(OpenedFile&& other) noexcept
        : m_handle(std::exchange(other.m_handle, INVALID_HANDLE_VALUE)), m_failure(other.m_failure)
    {
    }
    OpenedFile& operator=(OpenedFile&&) = delete;
    ~OpenedFile()
    {
        if (valid())
            ::CloseHandle(m_handle);
    }

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    ParamFileResult failure() const { return m_failure; }

    ParamFileResult Close()
    {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        if (!::CloseHandle(handle))
            return SystemFailure(ParamFileError::WriteFailed);
        return {};
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    ParamFileResult m_failure;
};

// Opens with a share mode of none: a file another program has open is
// refused, and no other program can open it until this handle closes. What
// was opened is then checked: a console, pipe or other device is refused.
OpenedFile OpenExclusive(const std::filesystem::path& file, DWORD access, DWORD disposition)
{
    const HANDLE handle = ::CreateFileW(file.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
            return OpenedFile(ParamFileResult{ParamFileError::InUse, 0});
        // A folder refuses to be opened as a file with "access denied".
        const DWORD attributes = ::GetFileAttributesW(file.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return OpenedFile(ParamFileResult{ParamFileError::NotRegularFile, 0});
        return OpenedFile(ParamFileResult{ParamFileError::CannotOpen, ErrnoFor(error)});
    }
    OpenedFile opened(handle);
    if (::GetFileType(handle) != FILE_TYPE_DISK)
        return OpenedFile(ParamFileResult{ParamFileError::NotRegularFile, 0});
    return opened;
}

enum class TransferEnd { Done, Stopped, Failed };

// Repeats a read or write until all size bytes moved; a call that moves
// nothing (the end of the file, a full disk) stops it.
template <typename Transfer>
TransferEnd TransferFully(std::size_t size, Transfer&& transfer)
{
    DWORD done = 0;
    while (done < size) {
        DWORD n = 0;
        if (!transfer(done, n))
            return TransferEnd::Failed;
        if (n == 0)
            return TransferEnd::Stopped;
        done += n;
    }
    return TransferEnd::Done;
}

}  // namespace

ParamFileResult ReadParamFile(const std::filesystem::path& file, TServoConfig& config)
{
    OpenedFile opened = OpenExclusive(file, GENERIC_READ, OPEN_EXISTING);
    if (!opened.valid())
        return opened.failure();
    TServoConfig read;
    const TransferEnd end = TransferFully(read.Bytes.size(), [&](DWORD at, DWORD& n) {
        return ::ReadFile(opened.get(), read.Bytes.data() + at, static_cast<DWORD>(read.Bytes.size() - at), &n, nullptr);
    });
    if (end == TransferEnd::Failed)
        return SystemFailure(ParamFileError::ReadFailed);
    // The end of the file before the 16th byte: too short to be a record.
    if (end == TransferEnd::Stopped)
        return {ParamFileError::NotParameterFile, 0};
    config = read;
    return {};
}

ParamFileResult WriteParamFileInPlace(const std::filesystem::path& file, const TServoConfig& config)
{
    // OPEN_ALWAYS keeps an existing file's tail and creates a missing file,
    // in one step and under the share mode.
    OpenedFile opened = OpenExclusive(file, GENERIC_WRITE, OPEN_ALWAYS);
    if (!opened.valid())
        return opened.failure();
    const TransferEnd end = TransferFully(config.Bytes.size(), [&](DWORD at, DWORD& n) {
        return ::WriteFile(opened.get(), config.Bytes.data() + at, static_cast<DWORD>(config.Bytes.size() - at), &n,
                           nullptr);
    });
    if (end == TransferEnd::Failed)
        return SystemFailure(ParamFileError::WriteFailed);
    if (end == TransferEnd::Stopped)
        return {ParamFileError::WriteFailed, ENOSPC};
    return opened.Close();
}

}  // namespace rvz
