// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Arguments reach the commands in UTF-8 on every platform; a file name
// among them becomes a path through char8_t, so that Windows does not read
// it in its ANSI code page.

#include <filesystem>
#include <string>

namespace rvz::cli {

inline std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace rvz::cli
