// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A stand-in for the vendor's USBXpress library, for tests only: the seven
// operations over the simulated adapter and servo, and a few controls with
// which a test sets up the library's answers and reads what it was asked.
// On Windows it is built as a DLL that exports the operations at the
// vendor's ordinals; elsewhere it is linked in and bound directly.

#include <cstddef>

#include "SiUsbXpApi.h"

#if defined(_WIN32)
#define RVZ_STAND_IN_API __declspec(dllexport)
#else
#define RVZ_STAND_IN_API
#endif

extern "C" {

using rvz::siusbxp::Dword;
using rvz::siusbxp::Handle;
using rvz::siusbxp::Status;

Status RVZ_SIUSBXP_CALL StandInGetNumDevices(Dword* count);
Status RVZ_SIUSBXP_CALL StandInOpen(Dword deviceIndex, Handle* handle);
Status RVZ_SIUSBXP_CALL StandInClose(Handle handle);
Status RVZ_SIUSBXP_CALL StandInRead(Handle handle, void* buffer, Dword wanted, Dword* received, void* overlapped);
Status RVZ_SIUSBXP_CALL StandInWrite(Handle handle, void* buffer, Dword count, Dword* written, void* overlapped);
Status RVZ_SIUSBXP_CALL StandInFlushBuffers(Handle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive);
Status RVZ_SIUSBXP_CALL StandInSetTimeouts(Dword readTimeoutMs, Dword writeTimeoutMs);

// --- Controls, exported by name --------------------------------------------
// A fresh adapter, plugged in or not, with a factory servo; the call log
// and every planned answer are cleared.
RVZ_STAND_IN_API void StandInReset(int pluggedIn);
// The next call at ordinal returns status without doing anything.
RVZ_STAND_IN_API void StandInFailNext(int ordinal, Status status);
// The next read claims extra bytes more than it was asked for.
RVZ_STAND_IN_API void StandInOverclaimNextRead(Dword extra);
// The next read waits out its read time-out and delivers only the first
// bytes of the reply, with status 0, as a reply cut short does.
RVZ_STAND_IN_API void StandInCutNextRead(Dword delivered);
// The next write takes only this many bytes, with status 0.
RVZ_STAND_IN_API void StandInShortNextWrite(Dword written);
// The next open fails with status, yet writes a handle, as a library may.
RVZ_STAND_IN_API void StandInFailNextOpenWritingHandle(Status status);
// The log of every operation called since the reset, one line each, such
// as "read(0x1,3,null)": the handle, the counts and whether the
// completion argument was null. Copies up to size-1 characters and a NUL;
// returns the log's full length.
RVZ_STAND_IN_API std::size_t StandInLog(char* text, std::size_t size);

}  // extern "C"
