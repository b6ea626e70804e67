// SPDX-License-Identifier: GPL-3.0-or-later
// The preferences file: whatever loads survives a save and a reload, and a
// second save writes the same bytes as the first.
#include "FuzzFiles.h"
#include "FuzzInput.h"
#include "Reg.h"

using namespace rvz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto file = fuzz::ScratchFolder() / "prefs.dat";
    fuzz::WriteBytes(file, {data, size});
    TPreferences loaded;
    try {
        if (!LoadPreferences(loaded, file))
            return 0;
    } catch (const PreferencesError&) {
        return 0;
    }
    loaded.Changed = true;
    const auto saved = fuzz::ScratchFolder() / "saved.dat";
    SavePreferences(loaded, saved);
    TPreferences reloaded;
    RVZ_FUZZ_REQUIRE(LoadPreferences(reloaded, saved));
    RVZ_FUZZ_REQUIRE(reloaded.Reserved1 == loaded.Reserved1);
    RVZ_FUZZ_REQUIRE(reloaded.Reserved2 == loaded.Reserved2);
    RVZ_FUZZ_REQUIRE(reloaded.Language == loaded.Language);
    reloaded.Changed = true;
    const auto again = fuzz::ScratchFolder() / "again.dat";
    SavePreferences(reloaded, again);
    RVZ_FUZZ_REQUIRE(fuzz::ReadBytes(again) == fuzz::ReadBytes(saved));
    return 0;
}
