// The system facts on Linux: uname, /dev/bus/usb and sysfs.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "SystemFacts.h"

namespace rvz::cli {

namespace {

int ReadNumber(const std::filesystem::path& file)
{
    std::ifstream in(file);
    int value = -1;
    in >> value;
    return in ? value : -1;
}

std::string UserName(uid_t uid)
{
    const passwd* entry = ::getpwuid(uid);
    return entry ? entry->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid)
{
    const group* entry = ::getgrgid(gid);
    return entry ? entry->gr_name : std::to_string(gid);
}

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

}  // namespace

std::string OperatingSystem()
{
    utsname name{};
    if (::uname(&name) != 0)
        return "Linux";
    return std::string(name.sysname) + " " + name.release + " " + name.machine;
}

DeviceNodeFacts DeviceNode(std::uint8_t bus, std::uint8_t address)
{
    DeviceNodeFacts facts;
    char path[40];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", bus, address);
    facts.path = path;
    struct stat status {};
    if (::stat(path, &status) != 0)
        return facts;
    facts.exists = true;
    facts.owner = UserName(status.st_uid);
    facts.group = GroupName(status.st_gid);
    const char* letters = "rwxrwxrwx";
    facts.mode = S_ISCHR(status.st_mode) ? "c" : "-";
    for (int bit = 0; bit < 9; ++bit)
        facts.mode += (status.st_mode & (0400 >> bit)) ? letters[bit] : '-';
    facts.readable = ::access(path, R_OK | W_OK) == 0;
    return facts;
}

std::vector<std::uint8_t> RawDescriptors(std::uint8_t bus, std::uint8_t address)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/usb/devices", error)) {
        if (ReadNumber(entry.path() / "busnum") != bus || ReadNumber(entry.path() / "devnum") != address)
            continue;
        std::ifstream in(entry.path() / "descriptors", std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    return {};
}

std::string UserAndGroups()
{
    std::string text = UserName(::getuid()) + " (groups:";
    gid_t groups[64];
    const int count = ::getgroups(64, groups);
    for (int i = 0; i < count; ++i)
        text += " " + GroupName(groups[i]);
    return text + ")";
}

std::vector<std::string> ProgramsHolding(std::uint8_t bus, std::uint8_t address)
{
    // Whoever holds the device has its node open: look through the open
    // files of every process we may see. The node is matched by its tail,
    // so that a node under a test bed's root is found too.
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", bus, address);
    const std::string tail = node;
    const std::string self = std::to_string(::getpid());
    std::vector<std::string> holders;
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        std::error_code unreadable;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
            std::error_code gone;
            const std::string target = std::filesystem::read_symlink(fd.path(), gone).string();
            if (gone || target.size() < tail.size() || target.compare(target.size() - tail.size(), tail.size(), tail) != 0)
                continue;
            holders.push_back(ProgramName(process.path()) + " (PID " + pid + ")");
            break;
        }
    }
    return holders;
}

bool UdevRuleInstalled()
{
    for (const char* folder : {"/etc/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"})
        if (std::filesystem::exists(std::filesystem::path(folder) / "60-rivivev-uvezi.rules"))
            return true;
    return false;
}

}  // namespace rvz::cli
