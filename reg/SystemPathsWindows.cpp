// SPDX-License-Identifier: GPL-3.0-or-later
// The module path in UTF-16, so that a folder with characters outside the
// ANSI code page still names the right file.
#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "SystemPaths.h"

namespace rvz {

std::filesystem::path ExecutablePath(std::error_code& error)
{
    error.clear();
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            error.assign(static_cast<int>(::GetLastError()), std::system_category());
            return {};
        }
        // A path that filled the buffer may have been cut: try a larger one.
        if (length < buffer.size())
            return std::filesystem::path(std::wstring(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
}

std::filesystem::path UserConfigFolder()
{
    PWSTR folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder)) && folder)
        path = std::filesystem::path(folder) / L"Rivivev Uvezi";
    ::CoTaskMemFree(folder);
    return path;
}

bool InstalledProgram(const std::filesystem::path& executable)
{
    // The installer records its folder (the programs lie in its bin) under
    // the key below, for this user or for all; the zip records nothing.
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        wchar_t folder[MAX_PATH]{};
        DWORD size = sizeof folder;
        if (::RegGetValueW(root, L"Software\\Rivivev Uvezi\\Rivivev Uvezi", nullptr, RRF_RT_REG_SZ, nullptr, folder,
                           &size) != ERROR_SUCCESS)
            continue;
        std::error_code error;
        if (std::filesystem::equivalent(std::filesystem::path(folder) / L"bin", executable.parent_path(), error))
            return true;
    }
    return false;
}

}  // namespace rvz
