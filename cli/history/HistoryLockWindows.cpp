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
    ~HandleHeld() override { ::CloseHandle(m_handle); }

private:
    HANDLE m_handle;
};

}  // namespace

std::unique_ptr<HistoryLock> TakeHistoryLock(const std::filesystem::path& path, std::string& error)
{
    // Another program holds it only while it appends or reads: a moment.
    for (int attempt = 0; attempt < 500; ++attempt) {
        const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
            return std::make_unique<HandleHeld>(handle);
        const DWORD code = ::GetLastError();
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
