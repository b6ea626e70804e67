// SPDX-License-Identifier: GPL-3.0-or-later
// rivivev-uvezi on Linux: the tool over a real adapter, reached through libusb.
#include "AdapterUsbBridge.h"
#include "LibusbHost.h"
#include "Program.h"

int main(int argc, char** argv)
{
    rvz::LibusbHost usb;
    rvz::AdapterUsbBridge adapter(usb);
    return rvz::RunProgram(argc, argv, adapter);
}
