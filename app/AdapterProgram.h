// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window over a real adapter, reached through the vendor's USBXpress
// library. Windows only.

#include <functional>
#include <string>

class QWidget;

namespace rvz {

// Runs the tool over the library file (by default SIUSBXP.DLL beside the
// program or in the system folder). When the library cannot be used, the
// window says why once, at start, with what to install where, and then runs
// as without an adapter: its three buttons stay disabled.
int RunAdapterProgram(int argc, char** argv, const std::wstring& libraryFile,
                      const std::function<void(QWidget& mainWindow)>& extras = {});

}  // namespace rvz
