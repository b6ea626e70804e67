// rivivev-uvezi on Windows: the tool over a real adapter, reached through
// the vendor's USBXpress library. Without the library the tool runs as
// without an adapter: its buttons stay grey.
#include "Program.h"
#include "SiUsbXpBridge.h"
#include "SiUsbXpLibrary.h"

int main(int argc, char** argv)
{
    rvz::SiUsbXpLibrary library;
    rvz::SiUsbXpBridge adapter(library.Functions());
    return rvz::RunProgram(argc, argv, adapter);
}
