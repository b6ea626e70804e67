// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenFont.h"

namespace rvz {

// The desktop's own font settings hold on Linux.
void ChooseScreenFont() {}

}  // namespace rvz
