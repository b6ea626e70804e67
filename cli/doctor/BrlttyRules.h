// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which udev rule files of brltty claim a USB device as a braille display,
// read as udev reads them: only "*.rules" files, a file in an earlier folder
// overriding one of the same name in a later folder, a file linked to
// /dev/null (or empty) masking it, comment lines skipped.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace rvz::cli {

// The folders udev reads, the overriding ones first.
inline const std::vector<std::filesystem::path> kUdevRuleFolders{"/etc/udev/rules.d", "/run/udev/rules.d",
                                                                 "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};

// brltty names a device either by PRODUCT ("10c4/ea60/*", hexadecimal
// without leading zeros) or by its idVendor and idProduct attributes.
std::vector<std::string> BrlttyRulesClaimingIn(const std::vector<std::filesystem::path>& folders,
                                               std::uint16_t vendorId, std::uint16_t productId);

}  // namespace rvz::cli
