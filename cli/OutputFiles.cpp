// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputFiles.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <iterator>

#include "ParamFile.h"
#include "Utf8Path.h"

namespace rvz::cli {

namespace {

constexpr std::uintmax_t kParamFileSize = 16;

// nullopt when path is a regular file or nothing; otherwise why not.
std::optional<std::string> NotARegularFile(const std::filesystem::path& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error && status.type() != std::filesystem::file_type::not_found)
        return "cannot be examined (" + error.message() + ")";
    if (status.type() == std::filesystem::file_type::not_found || status.type() == std::filesystem::file_type::regular)
        return std::nullopt;
    return std::filesystem::is_directory(status) ? "is a folder" : "is not a regular file (a pipe or a device?)";
}

// A trace or a log is longer than a record from its first line on, so
// 16 bytes are a parameter file, named by a slip.
std::optional<std::string> AppendRefused(const std::filesystem::path& where, OutputMode mode)
{
    std::error_code error;
    if (mode == OutputMode::Append && std::filesystem::file_size(where, error) == kParamFileSize && !error)
        return std::string("is a parameter file (16 bytes); nothing is appended to one");
    return std::nullopt;
}

std::optional<std::string> Unwritable() { return std::string("cannot be written; choose another path"); }

// where.XXXXXXXX.kind, a name nothing has (not even a link to nowhere).
std::filesystem::path UnusedNameBeside(const std::filesystem::path& where, const char* kind)
{
    std::random_device random;
    std::error_code error;
    std::filesystem::path name;
    do {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.%s", static_cast<unsigned>(random()), kind);
        name = where;
        name += suffix;
    } while (std::filesystem::exists(std::filesystem::symlink_status(name, error)));
    return name;
}

}  // namespace

std::optional<std::string> OpenTextOutput(const std::string& path, OutputMode mode, std::ofstream& file)
{
    if (path.empty())
        return "needs a file name";
    const auto where = PathFromUtf8(path);
    if (auto refused = NotARegularFile(where))
        return refused;
    if (auto refused = AppendRefused(where, mode))
        return refused;
    file.open(where, mode == OutputMode::Append ? std::ios::app : std::ios::trunc);
    if (!file)
        return Unwritable();
    return std::nullopt;
}

std::optional<std::string> CheckCanWrite(const std::filesystem::path& where, OutputMode mode)
{
    if (auto refused = NotARegularFile(where))
        return refused;
    if (auto refused = AppendRefused(where, mode))
        return refused;
    std::error_code error;
    if (mode == OutputMode::Append && std::filesystem::exists(where, error))
        return std::ofstream(where, std::ios::app).is_open() ? std::nullopt : Unwritable();
    const std::filesystem::path probe = UnusedNameBeside(where, "probe");
    const bool made = std::ofstream(probe, std::ios::app).is_open();
    std::filesystem::remove(probe, error);
    return made ? std::nullopt : Unwritable();
}

std::optional<std::string> CheckCanWrite(const std::string& path, OutputMode mode)
{
    return CheckCanWrite(PathFromUtf8(path), mode);
}

bool ReadTextInput(const std::string& path, std::string& text)
{
    const auto where = PathFromUtf8(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(where, error))
        return false;
    std::ifstream file(where, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

std::optional<std::string> CheckParamFileTarget(const std::string& path, bool force)
{
    const auto where = PathFromUtf8(path);
    if (auto refused = NotARegularFile(where))
        return refused;
    std::error_code error;
    if (!std::filesystem::exists(where, error))
        return std::nullopt;
    const auto size = std::filesystem::file_size(where, error);
    if (error || size == kParamFileSize || force)
        return std::nullopt;
    return "exists and is not a parameter file (" + std::to_string(size) +
           " bytes, not 16); give --force to overwrite it";
}

std::optional<std::string> CheckBackupTarget(const std::string& path, const std::string& input, bool force)
{
    const auto where = PathFromUtf8(path);
    if (auto refused = NotARegularFile(where))
        return refused;
    std::error_code error;
    if (!std::filesystem::exists(where, error) || force)
        return std::nullopt;
    if (!input.empty() && input != "-" && std::filesystem::equivalent(where, PathFromUtf8(input), error))
        return "is the file being written; a backup there would destroy it (give --force to do so all the same)";
    return "exists; give another name, or --force to replace it";
}

std::optional<std::string> SaveParamFile(const std::string& path, const TServoConfig& record)
{
    const auto where = PathFromUtf8(path);
    // A name of its own beside the target, so the rename stays in one file system.
    std::error_code error;
    const std::filesystem::path temporary = UnusedNameBeside(where, "part");
    const ParamFileResult written = WriteParamFile(temporary, record);
    if (!written) {
        std::filesystem::remove(temporary, error);
        return DescribeParamFileError(written);
    }
    std::filesystem::rename(temporary, where, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return "cannot be put in place (" + error.message() + ")";
    }
    return std::nullopt;
}

}  // namespace rvz::cli
