// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What each platform answers for the shared part of the file-writing unit.

#include <filesystem>

namespace rvz::files {

// Whether the writer may write the existing file in place.
bool MayWrite(const std::filesystem::path& file);

}  // namespace rvz::files
