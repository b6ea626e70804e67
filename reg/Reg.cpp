// SPDX-License-Identifier: GPL-3.0-or-later
#include "Reg.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "FileWriting.h"
#include "NumberText.h"
#include "SystemPaths.h"

namespace rvz {

TPreferences Preferences;

namespace {

constexpr std::size_t kLineCount = 5;

// Lines end at CR LF, a lone CR or a lone LF; a NUL byte ends the text.
std::vector<std::string> SplitLines(const std::string& content)
{
    const std::string text = content.substr(0, content.find('\0'));
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line.push_back(c);
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

// The path in UTF-8 whatever the platform's own encoding of names.
std::string Utf8(const std::filesystem::path& file)
{
    const std::u8string text = file.u8string();
    return std::string(text.begin(), text.end());
}

std::string Describe(const std::filesystem::path& file, const char* what)
{
    return std::string(what) + " \"" + Utf8(file) + "\". " + std::strerror(errno);
}

}  // namespace

std::filesystem::path PreferencesPathFor(const std::filesystem::path& executable)
{
    // Only a dot inside the file name starts an extension, never one in a
    // folder name; the name is taken apart in the platform's own characters,
    // so that any name the system allows survives.
    using Name = std::filesystem::path::string_type;
    Name name = executable.filename().native();
    const auto dot = name.find_last_of(static_cast<std::filesystem::path::value_type>('.'));
    if (dot != Name::npos)
        name.erase(dot);
    name += std::filesystem::path(".dat").native();
    return executable.parent_path() / name;
}

std::filesystem::path ChoosePreferencesPath(const std::filesystem::path& besideExecutable,
                                            const std::filesystem::path& userFolder, bool installed,
                                            const std::function<bool(const std::filesystem::path&)>& folderWritable)
{
    std::error_code error;
    if (std::filesystem::exists(besideExecutable, error) || userFolder.empty())
        return besideExecutable;
    if (!installed && folderWritable(besideExecutable.parent_path()))
        return besideExecutable;
    return userFolder / besideExecutable.filename();
}

std::filesystem::path PreferencesPath()
{
    std::error_code error;
    const std::filesystem::path executable = ExecutablePath(error);
    if (error)
        throw PreferencesError("Cannot find the program's own path: " + error.message());
    return ChoosePreferencesPath(PreferencesPathFor(executable), UserConfigFolder(), InstalledProgram(executable),
                                 files::FolderWritable);
}

bool LoadPreferences(TPreferences& preferences, const std::filesystem::path& file)
{
    preferences.Changed = false;
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (!std::filesystem::exists(status) || std::filesystem::is_directory(status))
        return false;

    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw PreferencesError(Describe(file, "Cannot open file"));
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw PreferencesError(Describe(file, "Cannot read file"));

    const std::vector<std::string> lines = SplitLines(content);
    if (lines.size() >= kLineCount) {
        preferences.Reserved1 = lines[1];
        preferences.Reserved2 = lines[2];
        preferences.Language = ReadInteger(lines[3], 0);
    }
    return true;
}

bool LoadPreferences(TPreferences& preferences) { return LoadPreferences(preferences, PreferencesPath()); }

void SavePreferences(const TPreferences& preferences, const std::filesystem::path& file)
{
    if (!preferences.Changed)
        return;
    // The user's configuration folder may not exist yet.
    std::error_code error;
    if (file.has_parent_path() && !std::filesystem::exists(file.parent_path(), error))
        std::filesystem::create_directories(file.parent_path(), error);
    std::string content;
    for (const std::string& line : {std::string(kPreferencesHeader), preferences.Reserved1, preferences.Reserved2,
                                    std::to_string(preferences.Language), std::string(kPreferencesTrailer)})
        content += line + "\r\n";
    if (auto failed = files::SaveBesideAndReplace(file, content))
        throw PreferencesError("The file \"" + Utf8(file) + "\" " + *failed + ".");
}

void SavePreferences(const TPreferences& preferences)
{
    if (preferences.Changed)
        SavePreferences(preferences, PreferencesPath());
}

}  // namespace rvz
