// SPDX-License-Identifier: GPL-3.0-or-later
// Who holds a USB device on Linux: the processes that have its node open.
#include "DeviceHolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace rvz::cli {

namespace {

// The program a process runs: its command's file name, which the kernel
// does not cut short as it does the name in comm.
std::string ProgramName(const std::filesystem::path& process)
{
    std::ifstream cmdline(process / "cmdline", std::ios::binary);
    std::string command;
    std::getline(cmdline, command, '\0');
    if (command.empty()) {
        std::ifstream comm(process / "comm");
        std::getline(comm, command);
    }
    return command.empty() ? "a program" : std::filesystem::path(command).filename().string();
}

// Whether an open file is the device node: the same file, or a character
// device of the same number (a node made in another mount, a container's;
// number 0 is none, as a test bed's node reads).
bool SameDevice(const struct stat& node, const struct stat& file)
{
    if (node.st_dev == file.st_dev && node.st_ino == file.st_ino)
        return true;
    return S_ISCHR(node.st_mode) && S_ISCHR(file.st_mode) && node.st_rdev != 0 && node.st_rdev == file.st_rdev;
}

}  // namespace

std::vector<std::string> ProgramsHoldingDevice(std::uint8_t bus, std::uint8_t address)
{
    // Whoever holds the device has its node open: look through the open
    // files of every process we may see, and take those that are this
    // very node. A path says nothing of that: a test bed's node, or a
    // node in another mount, may end in the same name.
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", bus, address);
    struct stat device {};
    if (::stat(node, &device) != 0)
        return {};
    const std::string self = std::to_string(::getpid());
    std::vector<std::string> holders;
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        std::error_code unreadable;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
            // stat follows the link to the file the process has open.
            struct stat file {};
            if (::stat(fd.path().c_str(), &file) != 0 || !SameDevice(device, file))
                continue;
            holders.push_back(ProgramName(process.path()) + " (PID " + pid + ")");
            break;
        }
    }
    return holders;
}

}  // namespace rvz::cli
