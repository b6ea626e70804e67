// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiUsbXpLibrary.h"

#include <windows.h>

#include <type_traits>
#include <vector>

namespace rvz {

namespace {

#if !defined(_WIN64)
// On 32-bit Windows the library's operations pop their own arguments
// (stdcall); called as cdecl they would leave the stack off by the
// arguments' size after every call. The convention is part of the type.
static_assert(!std::is_same_v<siusbxp::ReadFn, siusbxp::Status (*)(siusbxp::Handle, void*, siusbxp::Dword,
                                                                     siusbxp::Dword*, void*)>,
              "the library's operations must be called as stdcall");
#endif

std::wstring ModulePath(HMODULE module)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

// Binds one operation by its ordinal; false when the library lacks it, or
// when the operation's public name, exported too, names another function:
// another build of the library with other ordinals would be called wrongly.
template <typename Function>
bool Bind(HMODULE module, std::uint16_t ordinal, const char* operation, const char* publicName, Function& function,
          SiUsbXpLoad& load)
{
    const FARPROC address = ::GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    const FARPROC named = ::GetProcAddress(module, publicName);
    if (!address || (named && named != address)) {
        load.outcome = address ? SiUsbXpLoad::Outcome::OrdinalMismatch : SiUsbXpLoad::Outcome::OrdinalMissing;
        load.missingOrdinal = ordinal;
        load.missingOperation = operation;
        load.publicName = publicName;
        return false;
    }
    // FARPROC is the generic function pointer GetProcAddress returns; the
    // ordinal says which signature stands behind it.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return true;
}

}  // namespace

SiUsbXpLibrary::SiUsbXpLibrary(const std::wstring& file)
{
    m_load.file = file;
    // Only the program's own folder and the system folder are searched: a
    // library of that name planted in the current folder or on PATH is
    // never loaded, let alone run.
    HMODULE module = ::LoadLibraryExW(file.c_str(), nullptr,
                                      LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) {
        m_load.systemError = ::GetLastError();
        return;
    }
    m_module = module;
    m_load.path = ModulePath(module);
    namespace o = siusbxp::ordinal;
    siusbxp::Functions& f = m_functions;
    // Each ordinal with the name it is exported by: a library whose named
    // export sits at another ordinal is not the one we bind, and a report
    // names the function a user can look for.
    if (Bind(module, o::kGetNumDevices, "count", "SI_GetNumDevices", f.getNumDevices, m_load) &&
        Bind(module, o::kOpen, "open", "SI_Open", f.open, m_load) &&
        Bind(module, o::kClose, "close", "SI_Close", f.close, m_load) &&
        Bind(module, o::kRead, "read", "SI_Read", f.read, m_load) &&
        Bind(module, o::kWrite, "write", "SI_Write", f.write, m_load) &&
        Bind(module, o::kFlushBuffers, "flush", "SI_FlushBuffers", f.flushBuffers, m_load) &&
        Bind(module, o::kSetTimeouts, "set time-outs", "SI_SetTimeouts", f.setTimeouts, m_load))
        m_load.outcome = SiUsbXpLoad::Outcome::Loaded;
}

SiUsbXpLibrary::~SiUsbXpLibrary()
{
    if (m_module)
        ::FreeLibrary(static_cast<HMODULE>(m_module));
}

}  // namespace rvz
