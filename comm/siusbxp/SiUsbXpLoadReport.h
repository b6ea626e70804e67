// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a user is told about the vendor's library as the program found it:
// where it was loaded from, or why it cannot be used and what to install
// where. The doctor and the window say the same. Windows only.

#include <string>
#include <string_view>

#include "SiUsbXpLibrary.h"

namespace rvz {

struct LibraryFinding {
    bool usable = false;
    std::string finding;  // one sentence, starting in lower case
    std::string advice;   // empty when usable
};

// program is the file name of the executable the library must lie beside.
LibraryFinding DescribeLibraryLoad(const SiUsbXpLoad& load, std::string_view program);

}  // namespace rvz
