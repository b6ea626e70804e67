// SPDX-License-Identifier: GPL-3.0-or-later
// The system facts on Linux: uname, /dev/bus/usb and sysfs.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "SystemFacts.h"
#include "BrlttyRules.h"
#include "DeviceHolders.h"

namespace rvz::cli {

namespace {

int ReadNumber(const std::filesystem::path& file)
{
    std::ifstream in(file);
    int value = -1;
    in >> value;
    return in ? value : -1;
}

std::string UserNameOf(uid_t uid)
{
    const passwd* entry = ::getpwuid(uid);
    return entry ? entry->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid)
{
    const group* entry = ::getgrgid(gid);
    return entry ? entry->gr_name : std::to_string(gid);
}

// The device's folder in sysfs, found by its bus and address.
std::optional<std::filesystem::path> SysfsDevice(std::uint8_t bus, std::uint8_t address)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/usb/devices", error))
        if (ReadNumber(entry.path() / "busnum") == bus && ReadNumber(entry.path() / "devnum") == address)
            return entry.path();
    return std::nullopt;
}

class LinuxSystemFacts final : public SystemFacts {
public:
    std::string OperatingSystem() const override
    {
        utsname name{};
        if (::uname(&name) != 0)
            return "Linux";
        return std::string(name.sysname) + " " + name.release + " " + name.machine;
    }

    DeviceNodeFacts DeviceNode(std::uint8_t bus, std::uint8_t address) const override
    {
        DeviceNodeFacts facts;
        char path[40];
        std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", bus, address);
        facts.path = path;
        struct stat status {};
        if (::stat(path, &status) != 0)
            return facts;
        facts.exists = true;
        facts.owner = UserNameOf(status.st_uid);
        facts.group = GroupName(status.st_gid);
        const char* letters = "rwxrwxrwx";
        facts.mode = S_ISCHR(status.st_mode) ? "c" : "-";
        for (int bit = 0; bit < 9; ++bit)
            facts.mode += (status.st_mode & (0400 >> bit)) ? letters[bit] : '-';
        facts.readable = ::access(path, R_OK | W_OK) == 0;
        return facts;
    }

    std::vector<std::uint8_t> RawDescriptors(std::uint8_t bus, std::uint8_t address) const override
    {
        const auto device = SysfsDevice(bus, address);
        if (!device)
            return {};
        std::ifstream in(*device / "descriptors", std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    std::vector<std::string> ProgramsHolding(std::uint8_t bus, std::uint8_t address) const override
    {
        return ProgramsHoldingDevice(bus, address);
    }

    std::string UserName() const override { return UserNameOf(::getuid()); }

    bool UserInGroup(const std::string& name) const override
    {
        const group* entry = ::getgrnam(name.c_str());
        if (!entry)
            return false;
        if (::getegid() == entry->gr_gid)
            return true;
        gid_t groups[256];
        const int count = ::getgroups(256, groups);
        return std::find(groups, groups + std::max(count, 0), entry->gr_gid) != groups + std::max(count, 0);
    }

    std::string UserAndGroups() const override
    {
        std::string text = UserName() + " (groups:";
        gid_t groups[64];
        const int count = ::getgroups(64, groups);
        for (int i = 0; i < count; ++i)
            text += " " + GroupName(groups[i]);
        return text + ")";
    }

    bool UdevRuleInstalled() const override
    {
        for (const std::filesystem::path& folder : kUdevRuleFolders)
            if (std::filesystem::exists(std::filesystem::path(folder) / "60-rivivev-uvezi.rules"))
                return true;
        return false;
    }

    std::optional<std::string> UdevProperty(std::uint8_t bus, std::uint8_t address,
                                            const std::string& name) const override
    {
        // udev keeps a USB device's properties under its character device
        // number: major 189, minor (bus - 1) * 128 + (address - 1).
        if (bus == 0 || address == 0)
            return std::nullopt;
        const int minor = (bus - 1) * 128 + (address - 1);
        std::ifstream data("/run/udev/data/c189:" + std::to_string(minor));
        const std::string key = "E:" + name + "=";
        for (std::string line; std::getline(data, line);)
            if (line.starts_with(key))
                return line.substr(key.size());
        return std::nullopt;
    }

    bool ProgramRunning(const std::string& name) const override
    {
        std::error_code error;
        for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
            std::ifstream comm(process.path() / "comm");
            std::string command;
            if (std::getline(comm, command) && command == name)
                return true;
        }
        return false;
    }

    std::vector<std::string> BrlttyRulesClaiming(std::uint16_t vendorId, std::uint16_t productId) const override
    {
        // /lib is /usr/lib on a merged system: its files are read once.
        std::vector<std::filesystem::path> folders;
        for (const std::filesystem::path& folder : kUdevRuleFolders) {
            std::error_code error;
            const bool seen = std::any_of(folders.begin(), folders.end(), [&](const std::filesystem::path& other) {
                return std::filesystem::equivalent(other, folder, error);
            });
            if (!seen)
                folders.push_back(folder);
        }
        return BrlttyRulesClaimingIn(folders, vendorId, productId);
    }

    SerialDriverFacts SerialDriver(std::uint8_t bus, std::uint8_t address) const override
    {
        SerialDriverFacts facts;
        const auto device = SysfsDevice(bus, address);
        if (!device)
            return facts;
        facts.interfaceName = device->filename().string() + ":1.0";
        const std::filesystem::path interface = device->parent_path() / facts.interfaceName;
        std::error_code error;
        const auto driver = std::filesystem::read_symlink(interface / "driver", error);
        if (error)
            return facts;
        facts.driver = driver.filename().string();
        // usb-serial drivers make "ttyUSB0" right under the interface; a
        // tty class driver (cdc-acm) makes "tty/ttyACM0".
        for (const auto& entry : std::filesystem::directory_iterator(interface, error)) {
            const std::string name = entry.path().filename().string();
            if (name == "tty") {
                std::error_code unreadable;
                for (const auto& port : std::filesystem::directory_iterator(entry.path(), unreadable))
                    facts.ports.push_back(port.path().filename().string());
            } else if (name.starts_with("tty")) {
                facts.ports.push_back(name);
            }
        }
        std::sort(facts.ports.begin(), facts.ports.end());
        return facts;
    }

    SandboxFacts Sandbox() const override
    {
        SandboxFacts facts;
        if (std::ifstream info("/.flatpak-info"); info) {
            facts.kind = SandboxFacts::Kind::Flatpak;
            for (std::string line; std::getline(info, line);)
                if (line.starts_with("name=")) {
                    facts.name = line.substr(5);
                    break;
                }
        } else if (const char* snap = std::getenv("SNAP_NAME"); snap && *snap) {
            facts.kind = SandboxFacts::Kind::Snap;
            facts.name = snap;
        }
        // A sandbox that lets no USB device through shows no /dev/bus/usb
        // (Flatpak) or refuses to list it (a snap without raw-usb).
        std::error_code refused;
        std::filesystem::directory_iterator devices("/dev/bus/usb", refused);
        facts.usbVisible = !refused;
        return facts;
    }

    bool SeatAccessManaged() const override
    {
        // systemd makes the folder; only a running logind puts its seats there.
        std::error_code error;
        return std::filesystem::directory_iterator("/run/systemd/seats", error) != std::filesystem::directory_iterator();
    }

    bool GroupExists(const std::string& name) const override { return ::getgrnam(name.c_str()) != nullptr; }
    bool ToolInstalled(const std::string& name) const override
    {
        const char* path = std::getenv("PATH");
        std::string folders = std::string(path ? path : "") + ":/usr/sbin:/sbin:/usr/bin:/bin";
        for (std::size_t start = 0; start <= folders.size();) {
            const std::size_t end = std::min(folders.find(':', start), folders.size());
            const std::string folder = folders.substr(start, end - start);
            if (!folder.empty() && ::access((folder + "/" + name).c_str(), X_OK) == 0)
                return true;
            start = end + 1;
        }
        return false;
    }
};

}  // namespace

const SystemFacts& HostFacts()
{
    static const LinuxSystemFacts facts;
    return facts;
}

}  // namespace rvz::cli
