// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows hands names and arguments over in UTF-16; the program works in
// UTF-8. Windows only.

#include <windows.h>

#include <string>
#include <string_view>

namespace rvz {

inline std::string Utf8FromWide(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

}  // namespace rvz
