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

}  // namespace rvz
