#include "OutputFiles.h"

#include <filesystem>
#include <iterator>

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

}  // namespace

std::optional<std::string> OpenTextOutput(const std::string& path, OutputMode mode, std::ofstream& file)
{
    if (path.empty())
        return "needs a file name";
    const auto where = PathFromUtf8(path);
    if (auto refused = NotARegularFile(where))
        return refused;
    file.open(where, mode == OutputMode::Append ? std::ios::app : std::ios::trunc);
    if (!file)
        return std::string("cannot be written; choose another path");
    return std::nullopt;
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

}  // namespace rvz::cli
