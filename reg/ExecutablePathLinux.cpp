#include "ExecutablePath.h"

namespace rvz {

std::filesystem::path ExecutablePath(std::error_code& error)
{
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

}  // namespace rvz
