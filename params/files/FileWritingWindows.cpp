// SPDX-License-Identifier: GPL-3.0-or-later
// Writing files on Windows: exclusive creation, a flush to the disk, then
// ReplaceFile, which keeps the old file's attributes and security.
#include <windows.h>

#include <algorithm>
#include <system_error>

#include "FileWriting.h"
#include "FileWritingSystem.h"

namespace rvz::files {

namespace {

namespace fs = std::filesystem;

std::string Because(const char* what, DWORD error)
{
    return std::string(what) + " (" + std::system_category().message(static_cast<int>(error)) + ")";
}

// A file under a name of its own: CREATE_NEW never opens what another made.
HANDLE CreateOwn(const fs::path& beside, const char* kind, fs::path& made)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = UnusedNameBeside(beside, kind);
        const HANDLE handle =
            ::CreateFileW(made.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
            return handle;
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

// A write that moves nothing is a full disk.
bool WriteAll(HANDLE handle, std::string_view content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const std::size_t chunk = std::min<std::size_t>(content.size() - done, 1u << 30);
        DWORD n = 0;
        if (!::WriteFile(handle, content.data() + done, static_cast<DWORD>(chunk), &n, nullptr))
            return false;
        if (n == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

bool MayWrite(const fs::path& file)
{
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY);
}

// Windows sets no file-size limit on a process.
std::optional<std::uintmax_t> FileSizeLimit() { return std::nullopt; }

std::optional<std::string> ProbeFolder(const fs::path& folder)
{
    fs::path made;
    const HANDLE handle = CreateOwn(folder / ".rivivev-uvezi", "probe", made);
    if (handle == INVALID_HANDLE_VALUE)
        return Because("cannot be written", ::GetLastError());
    ::CloseHandle(handle);
    ::DeleteFileW(made.c_str());
    return std::nullopt;
}

std::optional<std::string> SaveBesideAndReplace(const fs::path& path, std::string_view content)
{
    Target target;
    if (auto refused = ResolveTarget(path, target))
        return refused;
    fs::path temporary;
    const HANDLE handle = CreateOwn(target.file, "part", temporary);
    if (handle == INVALID_HANDLE_VALUE)
        return Because("cannot be written", ::GetLastError());
    std::optional<std::string> failed;
    if (!WriteAll(handle, content))
        failed = Because("cannot be written", ::GetLastError());
    else if (!::FlushFileBuffers(handle))
        failed = Because("cannot be stored on the disk", ::GetLastError());
    // Only whole content, on the disk, takes the target's name.
    if (!::CloseHandle(handle) && !failed)
        failed = Because("cannot be written", ::GetLastError());
    if (!failed) {
        // Whole paths: Wine's ReplaceFile takes a bare name for a folder.
        std::error_code error;
        const fs::path to = fs::absolute(target.file, error);
        const fs::path from = fs::absolute(temporary, error);
        const bool replaced = !error && (target.exists ? ::ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                                                                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                                       : ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH));
        if (!replaced)
            failed = Because("cannot be put in place", ::GetLastError());
    }
    if (failed) {
        ::DeleteFileW(temporary.c_str());
        return failed;
    }
    return std::nullopt;
}

}  // namespace rvz::files
