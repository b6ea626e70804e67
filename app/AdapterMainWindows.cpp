// SPDX-License-Identifier: GPL-3.0-or-later
// rivivev-uvezi on Windows: the tool over a real adapter, reached through
// the vendor's USBXpress library.
#include "AdapterProgram.h"
#include "SiUsbXpLibrary.h"

int main(int argc, char** argv)
{
    return rvz::RunAdapterProgram(argc, argv, rvz::SiUsbXpLibrary::kFileName);
}
