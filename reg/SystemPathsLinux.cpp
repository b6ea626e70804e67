// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

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
    // Without HOME (a service, a bare environment): the account's own home.
    if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir && account->pw_dir[0] == '/')
        return std::filesystem::path(account->pw_dir) / ".config" / "rivivev-uvezi";
    return {};
}

namespace {

bool Within(const std::filesystem::path& folder, const std::filesystem::path& root)
{
    const auto [mismatch, rootEnd] = std::mismatch(folder.begin(), folder.end(), root.begin(), root.end());
    (void)mismatch;
    return rootEnd == root.end();
}

}  // namespace

bool InstalledProgram(const std::filesystem::path& executable)
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(executable, error).parent_path();
    if (error)
        return false;
    // The system's own program folders: installed, whatever the build was
    // configured for and whatever HOME says (root's may be "/").
    for (const char* system : {"/usr", "/bin", "/sbin", "/opt"})
        if (Within(folder, std::filesystem::weakly_canonical(system, error)))
            return true;
    // The folder the build installs to, unless it lies in the user's own
    // home (an install into ~/.local is the user's portable copy).
    if (folder != std::filesystem::weakly_canonical(RVZ_INSTALL_BINDIR, error) || error)
        return false;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/' && std::string_view(home) != "/" &&
        Within(folder, std::filesystem::weakly_canonical(home, error)))
        return false;
    return true;
}

}  // namespace rvz
