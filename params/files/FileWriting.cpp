// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileWriting.h"

#include <cstdio>
#include <random>

#include "FileWritingSystem.h"

namespace rvz::files {

namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<std::string> Refuse(Target& target, Refusal refusal, std::string reason)
{
    target.refusal = refusal;
    return reason;
}

}  // namespace

std::optional<std::string> ResolveTarget(const fs::path& path, Target& target)
{
    target = Target{path, false, Refusal::None};
    std::error_code error;
    const fs::file_status own = fs::symlink_status(path, error);
    if (own.type() == fs::file_type::not_found)
        return std::nullopt;
    if (error)
        return Refuse(target, Refusal::CannotExamine, "cannot be examined (" + error.message() + ")");
    fs::file_status status = own;
    if (fs::is_symlink(own)) {
        status = fs::status(path, error);
        if (status.type() == fs::file_type::not_found)
            return Refuse(target, Refusal::DanglingLink,
                          "is a link to \"" + Utf8(fs::read_symlink(path, error)) +
                              "\", which does not exist; give the file itself, or remove the link");
        if (!error)
            target.file = fs::canonical(path, error);
        if (error)
            return Refuse(target, Refusal::CannotExamine, "cannot be examined (" + error.message() + ")");
    }
    if (fs::is_directory(status))
        return Refuse(target, Refusal::NotRegularFile, "is a folder");
    if (!fs::is_regular_file(status))
        return Refuse(target, Refusal::NotRegularFile, "is not a regular file (a pipe or a device?)");
    target.exists = true;
    if (!MayWrite(target.file))
        return Refuse(target, Refusal::ReadOnly, "is read-only");
    return std::nullopt;
}

fs::path UnusedNameBeside(const fs::path& file, const char* kind)
{
    std::random_device random;
    std::error_code error;
    fs::path name;
    do {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.%s", static_cast<unsigned>(random()), kind);
        name = file;
        name += suffix;
    } while (fs::exists(fs::symlink_status(name, error)));
    return name;
}

std::optional<std::string> NoRoomFor(const std::filesystem::path& file, std::uintmax_t bytes)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::exists(file, error) ? std::filesystem::file_size(file, error) : 0;
    if (const auto limit = FileSizeLimit(); limit && size + bytes > *limit)
        return "would pass the file-size limit of " + std::to_string(*limit) + " bytes";
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const std::filesystem::space_info space = std::filesystem::space(folder, error);
    if (!error && space.available < bytes)
        return "would not fit on the disk (" + std::to_string(space.available) + " bytes free)";
    return std::nullopt;
}

}  // namespace rvz::files
