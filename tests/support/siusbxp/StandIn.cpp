// SPDX-License-Identifier: GPL-3.0-or-later
#include "StandIn.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>

#include "SimulatedAdapter.h"

namespace {

struct StandIn {
    rvz::SimulatedAdapter adapter{true};
    std::string log;
    std::map<int, Status> failNext;
    Dword overclaim = 0;
    std::optional<Dword> cutRead;
    std::optional<Dword> shortWrite;
    std::optional<Status> failOpenWritingHandle;
    Dword readTimeoutMs = 0;
};

StandIn& State()
{
    static StandIn state;
    return state;
}

std::string HandleText(Handle handle)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle)));
    return text;
}

void Log(const std::string& line) { State().log += line + "\n"; }

// A planned failure for this ordinal, used up by this call.
std::optional<Status> PlannedFailure(int ordinal)
{
    auto& plans = State().failNext;
    const auto plan = plans.find(ordinal);
    if (plan == plans.end())
        return std::nullopt;
    const Status status = plan->second;
    plans.erase(plan);
    return status;
}

// The stand-in's handles carry a tag in their top byte, as the vendor's
// are large pointers: a handle that lost its upper bits on the way back
// no longer opens the simulated adapter's session.
constexpr std::uintptr_t kHandleTag = std::uintptr_t{0x5A} << (8 * sizeof(void*) - 8);

rvz::BridgeHandle ToBridge(Handle handle) { return reinterpret_cast<rvz::BridgeHandle>(handle) ^ kHandleTag; }
Handle FromBridge(rvz::BridgeHandle handle) { return reinterpret_cast<Handle>(handle ^ kHandleTag); }

const char* NullText(const void* pointer) { return pointer ? "set" : "null"; }

}  // namespace

namespace o = rvz::siusbxp::ordinal;

extern "C" {

Status RVZ_SIUSBXP_CALL StandInGetNumDevices(Dword* count)
{
    Log("count");
    if (const auto failure = PlannedFailure(o::kGetNumDevices))
        return *failure;
    return State().adapter.GetNumDevices(count);
}

Status RVZ_SIUSBXP_CALL StandInOpen(Dword deviceIndex, Handle* handle)
{
    Log("open(" + std::to_string(deviceIndex) + ")");
    if (const auto failure = PlannedFailure(o::kOpen))
        return *failure;
    if (const auto failure = std::exchange(State().failOpenWritingHandle, std::nullopt)) {
        *handle = FromBridge(0x4242);
        return *failure;
    }
    rvz::BridgeHandle opened = rvz::kNullHandle;
    const Status status = State().adapter.Open(deviceIndex, &opened);
    *handle = status == 0 ? FromBridge(opened) : nullptr;
    return status;
}

Status RVZ_SIUSBXP_CALL StandInClose(Handle handle)
{
    Log("close(" + HandleText(handle) + ")");
    if (const auto failure = PlannedFailure(o::kClose))
        return *failure;
    return State().adapter.Close(ToBridge(handle));
}

Status RVZ_SIUSBXP_CALL StandInRead(Handle handle, void* buffer, Dword wanted, Dword* received, void* overlapped)
{
    Log("read(" + HandleText(handle) + "," + std::to_string(wanted) + "," + NullText(overlapped) + ")");
    if (const auto failure = PlannedFailure(o::kRead))
        return *failure;
    const Status status = State().adapter.Read(ToBridge(handle),
                                               std::span(static_cast<std::uint8_t*>(buffer), wanted), received);
    if (status == 0)
        *received += std::exchange(State().overclaim, 0);
    if (const auto cut = std::exchange(State().cutRead, std::nullopt); cut && status == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(State().readTimeoutMs));
        *received = std::min(*received, *cut);
    }
    return status;
}

Status RVZ_SIUSBXP_CALL StandInWrite(Handle handle, void* buffer, Dword count, Dword* written, void* overlapped)
{
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::string line = "write(" + HandleText(handle) + "," + std::to_string(count) + "," + NullText(overlapped) + ")";
    for (Dword i = 0; i < count; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        line += hex;
    }
    Log(line);
    if (const auto failure = PlannedFailure(o::kWrite))
        return *failure;
    if (const auto taken = std::exchange(State().shortWrite, std::nullopt)) {
        const Dword part = std::min(*taken, count);
        const Status status = State().adapter.Write(ToBridge(handle), std::span(bytes, part), written);
        return status;
    }
    return State().adapter.Write(ToBridge(handle), std::span(bytes, count), written);
}

Status RVZ_SIUSBXP_CALL StandInFlushBuffers(Handle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive)
{
    Log("flush(" + HandleText(handle) + "," + std::to_string(flushTransmit) + "," + std::to_string(flushReceive) + ")");
    if (const auto failure = PlannedFailure(o::kFlushBuffers))
        return *failure;
    return State().adapter.FlushBuffers(ToBridge(handle), flushTransmit, flushReceive);
}

Status RVZ_SIUSBXP_CALL StandInSetTimeouts(Dword readTimeoutMs, Dword writeTimeoutMs)
{
    Log("timeouts(" + std::to_string(readTimeoutMs) + "," + std::to_string(writeTimeoutMs) + ")");
    if (const auto failure = PlannedFailure(o::kSetTimeouts))
        return *failure;
    State().readTimeoutMs = readTimeoutMs;
    return State().adapter.SetTimeouts(readTimeoutMs, writeTimeoutMs);
}

void StandInReset(int pluggedIn)
{
    StandIn& state = State();
    state.adapter = rvz::SimulatedAdapter(pluggedIn != 0);
    state.log.clear();
    state.failNext.clear();
    state.overclaim = 0;
    state.cutRead.reset();
    state.shortWrite.reset();
    state.failOpenWritingHandle.reset();
}

void StandInFailNext(int ordinal, Status status) { State().failNext[ordinal] = status; }

void StandInOverclaimNextRead(Dword extra) { State().overclaim = extra; }

void StandInCutNextRead(Dword delivered) { State().cutRead = delivered; }

void StandInShortNextWrite(Dword written) { State().shortWrite = written; }

void StandInFailNextOpenWritingHandle(Status status) { State().failOpenWritingHandle = status; }

std::size_t StandInLog(char* text, std::size_t size)
{
    const std::string& log = State().log;
    if (size > 0) {
        const std::size_t n = std::min(size - 1, log.size());
        std::copy_n(log.data(), n, text);
        text[n] = '\0';
    }
    return log.size();
}

}  // extern "C"
