// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Unit Reg: the preferences file, beside the executable or in the user's
// configuration folder. It keeps the chosen
// language from one run to the next, and carries two reserved lines through
// unchanged.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace rvz {

struct TPreferences {
    std::string Reserved1;  // line 2, bytes as read
    std::string Reserved2;  // line 3
    std::int32_t Language = 0;
    bool Changed = false;   // the user picked another language this run; not stored
};

// The program's one preferences record.
extern TPreferences Preferences;

// A preferences file that exists but cannot be read, or cannot be written.
class PreferencesError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kPreferencesHeader = "USB servo register file!";
inline constexpr const char* kPreferencesTrailer = "Do'nt edit the file!";

// The executable's path with the file name's extension replaced by ".dat",
// or ".dat" appended when the name has none.
std::filesystem::path PreferencesPathFor(const std::filesystem::path& executable);

// Where the preferences file is kept. A file that lies beside the executable
// already (besideExecutable, as PreferencesPathFor names it) is kept there.
// An installed program (installed: by the package or the installer) keeps it
// in the user's own configuration folder, whoever runs it, so that nothing
// lands in a system folder. A portable copy keeps it beside itself while its
// folder can be written (files::FolderWritable), and in the user's folder
// otherwise.
std::filesystem::path ChoosePreferencesPath(const std::filesystem::path& besideExecutable,
                                            const std::filesystem::path& userFolder, bool installed,
                                            const std::function<bool(const std::filesystem::path&)>& folderWritable);

// The preferences file of the running executable, chosen as above.
std::filesystem::path PreferencesPath();

// Clears Changed, then fills the record from the file. False when there is
// no file (a folder of that name counts as none); true otherwise, also when
// the file has fewer than five lines and nothing was taken from it.
// Throws PreferencesError when an existing file cannot be read.
bool LoadPreferences(TPreferences& preferences, const std::filesystem::path& file);
bool LoadPreferences(TPreferences& preferences);

// Writes the five lines, each ending CR LF, when Changed is set; otherwise
// touches nothing. A missing folder is made first; the file is replaced
// whole, as FileWriting.h says. Throws PreferencesError when the file cannot
// be written.
void SavePreferences(const TPreferences& preferences, const std::filesystem::path& file);
void SavePreferences(const TPreferences& preferences);

}  // namespace rvz
