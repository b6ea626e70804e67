#pragma once
// Program entry shared by both executables; they differ only in the bridge
// that stands behind the adapter session.

namespace rvz {

class UsbBridge;

// Runs the tool over the bridge until the main window closes. Returns 0 in
// every case; an error that escapes is shown in the standard error box.
int RunProgram(int argc, char** argv, UsbBridge& bridge);

}  // namespace rvz
