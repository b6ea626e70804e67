// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seven operations of the bridge vendor's USBXpress library
// (SIUSBXP.DLL) that the tool uses, as the library exports them: by
// ordinal, with the platform's calling convention (stdcall on 32-bit
// Windows), with 32-bit statuses and counts and pointer-sized handles.

#include <cstdint>

#if defined(_WIN32)
#define RVZ_SIUSBXP_CALL __stdcall
#else
#define RVZ_SIUSBXP_CALL
#endif

namespace rvz::siusbxp {

using Status = std::int32_t;  // 0 is success
using Dword = std::uint32_t;  // the library's DWORD: 32 bits on every Windows
using Handle = void*;         // the library's HANDLE

using GetNumDevicesFn = Status(RVZ_SIUSBXP_CALL*)(Dword* count);
using OpenFn = Status(RVZ_SIUSBXP_CALL*)(Dword deviceIndex, Handle* handle);
using CloseFn = Status(RVZ_SIUSBXP_CALL*)(Handle handle);
// The last argument is an OVERLAPPED*; the tool always passes null, so
// every read and write completes before the call returns.
using ReadFn = Status(RVZ_SIUSBXP_CALL*)(Handle handle, void* buffer, Dword wanted, Dword* received,
                                         void* overlapped);
using WriteFn = Status(RVZ_SIUSBXP_CALL*)(Handle handle, void* buffer, Dword count, Dword* written,
                                          void* overlapped);
using FlushBuffersFn = Status(RVZ_SIUSBXP_CALL*)(Handle handle, std::uint8_t flushTransmit,
                                                 std::uint8_t flushReceive);
using SetTimeoutsFn = Status(RVZ_SIUSBXP_CALL*)(Dword readTimeoutMs, Dword writeTimeoutMs);

// Where each operation sits in the library's export table.
namespace ordinal {
inline constexpr std::uint16_t kGetNumDevices = 1;
inline constexpr std::uint16_t kOpen = 3;
inline constexpr std::uint16_t kClose = 4;
inline constexpr std::uint16_t kRead = 6;
inline constexpr std::uint16_t kWrite = 7;
inline constexpr std::uint16_t kFlushBuffers = 9;
inline constexpr std::uint16_t kSetTimeouts = 10;
}  // namespace ordinal

// The bound operations; all seven are set, or the library is not used.
struct Functions {
    GetNumDevicesFn getNumDevices = nullptr;
    OpenFn open = nullptr;
    CloseFn close = nullptr;
    ReadFn read = nullptr;
    WriteFn write = nullptr;
    FlushBuffersFn flushBuffers = nullptr;
    SetTimeoutsFn setTimeouts = nullptr;
};

}  // namespace rvz::siusbxp
