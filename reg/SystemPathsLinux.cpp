// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstdlib>

#include "SystemPaths.h"

namespace rvz {

std::filesystem::path ExecutablePath(std::error_code& error)
{
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

std::filesystem::path UserConfigFolder()
{
    // XDG: $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return std::filesystem::path(xdg) / "rivivev-uvezi";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::filesystem::path(home) / ".config" / "rivivev-uvezi";
    return {};
}

bool InstalledProgram(const std::filesystem::path& executable)
{
    // The build knows where it installs its programs; a copy that runs from
    // there, outside the user's home, is an installed one.
    std::error_code error;
    const std::filesystem::path bindir = std::filesystem::weakly_canonical(RVZ_INSTALL_BINDIR, error);
    if (error || std::filesystem::weakly_canonical(executable, error).parent_path() != bindir || error)
        return false;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        const std::filesystem::path own = std::filesystem::weakly_canonical(home, error);
        const auto [mismatch, ownEnd] = std::mismatch(bindir.begin(), bindir.end(), own.begin(), own.end());
        if (!error && ownEnd == own.end())
            return false;  // ~/.local/bin and the like: the user's own copy
        (void)mismatch;
    }
    return true;
}

}  // namespace rvz
