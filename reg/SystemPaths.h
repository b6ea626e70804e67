// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the system keeps what the preferences file needs: the running
// executable's own path, and the user's own configuration folder. One
// implementation per platform.

#include <filesystem>
#include <system_error>

namespace rvz {

std::filesystem::path ExecutablePath(std::error_code& error);

// The folder where this user's settings for the program belong: the XDG
// configuration folder on Linux, the roaming application data on Windows,
// each with a folder of the program's own. Empty when the system names none.
std::filesystem::path UserConfigFolder();

// Whether the executable is an installed one, by the Debian package or the
// Windows installer, rather than a portable copy: the zip, a build run from
// its own folder, an install under the user's home.
bool InstalledProgram(const std::filesystem::path& executable);

}  // namespace rvz
