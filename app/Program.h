// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Program entry shared by both executables; they differ only in the bridge
// that stands behind the adapter session.

#include <functional>

class QWidget;

namespace rvz {

class UsbBridge;

// Runs the tool over the bridge until the main window closes. Returns 0 in
// every case; an error that escapes is shown in the standard error box.
// extras, when given, adds windows of the executable's own to the main window.
int RunProgram(int argc, char** argv, UsbBridge& bridge, const std::function<void(QWidget& mainWindow)>& extras = {});

}  // namespace rvz
