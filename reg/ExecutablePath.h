#pragma once
// The running executable's own path, as the system names it. One
// implementation per platform.

#include <filesystem>
#include <system_error>

namespace rvz {

std::filesystem::path ExecutablePath(std::error_code& error);

}  // namespace rvz
