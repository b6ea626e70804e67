// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiUsbXpLoadReport.h"

#include <windows.h>

#include "WideText.h"

namespace rvz {

LibraryFinding DescribeLibraryLoad(const SiUsbXpLoad& load, std::string_view program)
{
    const std::string file = Utf8FromWide(load.file);
    const std::string path = Utf8FromWide(load.path);
    const std::string width = sizeof(void*) == 8 ? "64" : "32";
    const std::string install = "Install the adapter's driver package (the USBXpress driver that comes with the "
                                "adapter), which brings SIUSBXP.DLL, or copy its " + width +
                                "-bit SIUSBXP.DLL beside " + std::string(program) + ".";
    switch (load.outcome) {
    case SiUsbXpLoad::Outcome::Loaded:
        return {true, "the adapter's library " + file + " is loaded from " + path, {}};
    case SiUsbXpLoad::Outcome::LibraryMissing:
        // A library of the other width is the likeliest mistake after a
        // missing one, and Windows names it only by number.
        if (load.systemError == ERROR_BAD_EXE_FORMAT)
            return {false,
                    "the adapter's library " + file + " was found, but this " + width +
                        "-bit program cannot load it (Windows error 193): it is built for the other width, or damaged",
                    "Copy the " + width + "-bit SIUSBXP.DLL from the adapter's driver package beside " +
                        std::string(program) + "."};
        return {false,
                "the adapter's library " + file + " cannot be loaded (Windows error " +
                    std::to_string(load.systemError) + (load.systemError == ERROR_MOD_NOT_FOUND ? ": not found" : "") +
                    ")",
                install};
    case SiUsbXpLoad::Outcome::OrdinalMissing:
        return {false,
                path + " has no operation at ordinal " + std::to_string(load.missingOrdinal) + " (" +
                    load.missingOperation + "), so it is not the USBXpress library the adapter needs",
                install};
    case SiUsbXpLoad::Outcome::OrdinalMismatch:
        return {false,
                path + " exports " + load.publicName + " as another function than ordinal " +
                    std::to_string(load.missingOrdinal) + " (" + load.missingOperation +
                    "): its ordinals are not those of the USBXpress library the adapter needs, and calling it "
                    "could send anything",
                install};
    }
    return {};
}

}  // namespace rvz
