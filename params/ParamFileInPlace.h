// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Each platform's write of the record at the start of the file, under its
// exclusive use; WriteParamFile has already applied the policy on links and
// permissions, and names the file itself.

#include <filesystem>

#include "ParamFile.h"

namespace rvz {

ParamFileResult WriteParamFileInPlace(const std::filesystem::path& file, const TServoConfig& config);

}  // namespace rvz
