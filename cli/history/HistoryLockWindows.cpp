// SPDX-License-Identifier: GPL-3.0-or-later
// The history's lock on Windows: a file of its own, opened with a share
// mode that admits no other opener.
#include <windows.h>

#include <chrono>
#include <thread>

#include "HistoryLock.h"

namespace rvz::cli {

namespace {

class HandleHeld final : public HistoryLock {
public:
    explicit HandleHeld(HANDLE handle) : m_handle(handle) {}
    ~HandleHeld() override
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }

private:
    HANDLE m_handle;
};

HANDLE OpenLockFile(const std::filesystem::path& path, LockUse use)
{
    const DWORD create = use == LockUse::Append ? OPEN_ALWAYS : OPEN_EXISTING;
    HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, create,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && use == LockUse::Read && ::GetLastError() == ERROR_ACCESS_DENIED)
        handle = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle;
}

}  // namespace

std::unique_ptr<HistoryLock> TakeHistoryLock(const std::filesystem::path& path, std::string& error, LockUse use)
{
    // Another program holds it only while it appends or reads: a moment.
    for (int attempt = 0; attempt < 500; ++attempt) {
        const HANDLE handle = OpenLockFile(path, use);
        if (handle != INVALID_HANDLE_VALUE)
            return std::make_unique<HandleHeld>(handle);
        const DWORD code = ::GetLastError();
        // Where no lock's file is, or can be made, nobody appends to wait for.
        const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        if ((use == LockUse::Check && missing) || (use == LockUse::Read && (missing || code == ERROR_ACCESS_DENIED)))
            return std::make_unique<HandleHeld>(INVALID_HANDLE_VALUE);
        if (code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION) {
            error = "Windows error " + std::to_string(code);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    error = "another program holds it";
    return nullptr;
}

}  // namespace rvz::cli
