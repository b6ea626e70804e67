// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What each platform answers for the shared part of the file-writing unit.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace rvz::files {

// Whether the writer may write the existing file in place.
bool MayWrite(const std::filesystem::path& file);

// The largest file this process may write, where the system sets a limit.
std::optional<std::uintmax_t> FileSizeLimit();

}  // namespace rvz::files
