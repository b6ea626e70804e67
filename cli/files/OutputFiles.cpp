// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputFiles.h"

#include <filesystem>
#include <iterator>

#include "FileWriting.h"
#include "Utf8Path.h"

namespace rvz::cli {

namespace {

constexpr std::uintmax_t kParamFileSize = 16;

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

std::filesystem::path FolderOf(const std::filesystem::path& file)
{
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

}  // namespace

std::optional<std::string> OpenTextOutput(const std::string& path, OutputMode mode, std::ofstream& file)
{
    if (path.empty())
        return "needs a file name";
    files::Target target;
    if (auto refused = files::ResolveTarget(PathFromUtf8(path), target))
        return refused;
    if (auto refused = AppendRefused(target.file, mode))
        return refused;
    file.open(target.file, mode == OutputMode::Append ? std::ios::app : std::ios::trunc);
    if (!file)
        return Unwritable();
    return std::nullopt;
}

std::optional<std::string> CheckCanWrite(const std::filesystem::path& where, OutputMode mode)
{
    files::Target target;
    if (auto refused = files::ResolveTarget(where, target))
        return refused;
    if (auto refused = AppendRefused(target.file, mode))
        return refused;
    if (mode == OutputMode::Append && target.exists)
        return std::ofstream(target.file, std::ios::app).is_open() ? std::nullopt : Unwritable();
    return files::FolderWritable(FolderOf(target.file)) ? std::nullopt : Unwritable();
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
    files::Target target;
    if (auto refused = files::ResolveTarget(PathFromUtf8(path), target))
        return refused;
    if (!target.exists)
        return std::nullopt;
    std::error_code error;
    const auto size = std::filesystem::file_size(target.file, error);
    if (error || size == kParamFileSize || force)
        return std::nullopt;
    return "exists and is not a parameter file (" + std::to_string(size) +
           " bytes, not 16); give --force to overwrite it";
}

std::optional<std::string> CheckBackupTarget(const std::string& path, const std::string& input, bool force)
{
    files::Target target;
    if (auto refused = files::ResolveTarget(PathFromUtf8(path), target))
        return refused;
    if (!target.exists || force)
        return std::nullopt;
    std::error_code error;
    if (!input.empty() && input != "-" && std::filesystem::equivalent(target.file, PathFromUtf8(input), error))
        return "is the file being written; a backup there would destroy it (give --force to do so all the same)";
    return "exists; give another name, or --force to replace it";
}

std::optional<std::string> SaveParamFile(const std::string& path, const TServoConfig& record)
{
    return SaveTextFile(path, std::string(record.Bytes.begin(), record.Bytes.end()));
}

std::optional<std::string> SaveTextFile(const std::string& path, const std::string& text)
{
    return files::SaveBesideAndReplace(PathFromUtf8(path), text);
}

}  // namespace rvz::cli
