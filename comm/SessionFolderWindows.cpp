// SPDX-License-Identifier: GPL-3.0-or-later
// The session notes' folder on Windows: in the user's own temporary folder.
#include <windows.h>

#include "SessionRecords.h"

namespace rvz {

std::filesystem::path PrivateSessionFolder()
{
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH)
        return {};
    const std::filesystem::path folder = std::filesystem::path(temporary) / L"Rivivev Uvezi sessions";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error) ? folder : std::filesystem::path();
}

}  // namespace rvz
