// Runs a program against a virtual adapter on a virtual USB bus, so the
// real rivivev-uvezi can be tried without hardware:
//
//     rivivev-uvezi-virtual [PROGRAM [ARGUMENTS...]]
//
// PROGRAM defaults to the rivivev-uvezi of the same build. It sees one
// adapter, 10c4:ea61 on bus 1, with the simulated servo attached; this
// process answers its USB calls until the program ends, and exits with the
// program's exit code.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "VirtualAdapter.h"

int main(int argc, char** argv)
{
    std::vector<char*> command;
    for (int i = 1; i < argc; ++i)
        command.push_back(argv[i]);
    static char program[] = RVZ_PROGRAM;
    if (command.empty())
        command.push_back(program);
    command.push_back(nullptr);

    try {
        rvz::test::VirtualUsbBus bus;  // sets UMOCKDEV_DIR for the child
        bus.Plug(2, false);  // there before the program starts
        std::fprintf(stderr, "virtual adapter 10c4:ea61 on bus 1, address 2 (testbed %s)\n", bus.RootDir().c_str());

        const pid_t child = ::fork();
        if (child < 0) {
            std::perror("fork");
            return 1;
        }
        if (child == 0) {
            // umockdev serves the program's system calls through its preload
            // library; a sanitizer runtime, where the build has one, comes first.
            ::setenv("LD_PRELOAD", RVZ_PRELOAD, 1);
            ::execvp(command[0], command.data());
            std::perror(command[0]);
            ::_exit(127);
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rivivev-uvezi-virtual: %s\n", error.what());
        return 1;
    }
}
