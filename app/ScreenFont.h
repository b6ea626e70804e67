// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's font where the system lacks its own. Under Wine the dialog
// font Windows names (MS Shell Dlg, that is Tahoma) is often missing, and
// Wine then hands over whatever font the machine lists first, such as
// DejaVu Math TeX Gyre, with which every edit field stays blank. On Windows
// itself, and under Wine with the font present, nothing changes.

namespace rvz {

// Call after the application object exists, before any window is built.
void ChooseScreenFont();

}  // namespace rvz
