// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Loads the vendor's USBXpress library at run time and binds the seven
// operations by ordinal, never by name; where the library also exports the
// operations' public names, each must name the same function as its
// ordinal, or the library is refused. Windows only.

#include <cstdint>
#include <string>

#include "SiUsbXpApi.h"

namespace rvz {

struct SiUsbXpLoad {
    // OrdinalMismatch: the library also exports the operation's public
    // name, and that name stands for another function than the ordinal.
    enum class Outcome { Loaded, LibraryMissing, OrdinalMissing, OrdinalMismatch };
    Outcome outcome = Outcome::LibraryMissing;
    std::wstring file;                // as asked for
    std::wstring path;                // where it was found; empty when not found
    std::uint16_t missingOrdinal = 0;
    const char* missingOperation = "";  // "write", for the doctor
    const char* publicName = "";        // "SI_Write": the name that disagrees
    unsigned long systemError = 0;      // GetLastError() of the failed load
};

class SiUsbXpLibrary {
public:
    static constexpr const wchar_t* kFileName = L"SIUSBXP.DLL";

    // Loads file from the program's folder or the system folder, nowhere
    // else; a missing file or ordinal is remembered, never thrown.
    explicit SiUsbXpLibrary(const std::wstring& file = kFileName);
    ~SiUsbXpLibrary();
    SiUsbXpLibrary(const SiUsbXpLibrary&) = delete;
    SiUsbXpLibrary& operator=(const SiUsbXpLibrary&) = delete;

    // The seven operations, or null unless all of them were bound.
    const siusbxp::Functions* Functions() const
    {
        return m_load.outcome == SiUsbXpLoad::Outcome::Loaded ? &m_functions : nullptr;
    }
    const SiUsbXpLoad& Load() const { return m_load; }

private:
    void* m_module = nullptr;  // HMODULE
    siusbxp::Functions m_functions;
    SiUsbXpLoad m_load;
};

}  // namespace rvz
