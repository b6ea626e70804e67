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

// Binds one operation by its ordinal; false when the library lacks it.
template <typename Function>
bool Bind(HMODULE module, std::uint16_t ordinal, const char* operation, Function& function, SiUsbXpLoad& load)
{
    const FARPROC address = ::GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    if (!address) {
        load.outcome = SiUsbXpLoad::Outcome::OrdinalMissing;
        load.missingOrdinal = ordinal;
        load.missingOperation = operation;
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
    if (Bind(module, o::kGetNumDevices, "count", f.getNumDevices, m_load) && Bind(module, o::kOpen, "open", f.open, m_load) &&
        Bind(module, o::kClose, "close", f.close, m_load) && Bind(module, o::kRead, "read", f.read, m_load) &&
        Bind(module, o::kWrite, "write", f.write, m_load) &&
        Bind(module, o::kFlushBuffers, "flush", f.flushBuffers, m_load) &&
        Bind(module, o::kSetTimeouts, "set time-outs", f.setTimeouts, m_load))
        m_load.outcome = SiUsbXpLoad::Outcome::Loaded;
}

SiUsbXpLibrary::~SiUsbXpLibrary()
{
    if (m_module)
        ::FreeLibrary(static_cast<HMODULE>(m_module));
}

}  // namespace rvz
