// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seven operations of the adapter's USB bridge library. The adapter
// session reaches the adapter through this interface only, so the simulated
// adapter and the Linux USB layer are interchangeable behind it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "AdapterNames.h"

namespace rvz {

// 0 means success; every other value is a failure. The session turns a
// failure into its reason (see LinkFailure.h); no status reaches the window.
using BridgeStatus = std::int32_t;
inline constexpr BridgeStatus kBridgeSuccess = 0;

// Failure statuses, numbered as the vendor's library numbers them, and the
// few that only the other bridges can tell, numbered beyond that library's.
namespace bridge_status {
inline constexpr BridgeStatus kInvalidHandle = 0x01;
inline constexpr BridgeStatus kReadError = 0x02;
inline constexpr BridgeStatus kWriteError = 0x04;
inline constexpr BridgeStatus kDeviceIoFailed = 0x08;
inline constexpr BridgeStatus kDeviceNotFound = 0xFF;
// The endpoint answered with a halt.
inline constexpr BridgeStatus kStalled = 0x100;
// The user may not open the device.
inline constexpr BridgeStatus kAccessDenied = 0x101;
// The bridge library could not be loaded, or lacks an operation.
inline constexpr BridgeStatus kLibraryMissing = 0x102;
// Another program holds the device.
inline constexpr BridgeStatus kBusy = 0x103;
}  // namespace bridge_status

// Opaque handle of an open adapter; 0 is the null handle.
using BridgeHandle = std::uintptr_t;
inline constexpr BridgeHandle kNullHandle = 0;

// Value passed to FlushBuffers to flush a direction.
inline constexpr std::uint8_t kFlushBuffer = 0xFF;

class UsbBridge {
public:
    virtual ~UsbBridge() = default;

    // Counts the attached adapters into *count. Status 0 while at least one
    // adapter is available, any other status when none is. The session never
    // reads the count: the status alone tells it that the adapter has gone.
    virtual BridgeStatus GetNumDevices(std::uint32_t* count) = 0;

    // Opens the adapter at deviceIndex and stores its handle in *handle.
    // Status 0 and a non-null handle on success.
    virtual BridgeStatus Open(std::uint32_t deviceIndex, BridgeHandle* handle) = 0;

    // Releases the handle. The caller ignores the status.
    virtual BridgeStatus Close(BridgeHandle handle) = 0;

    // Reads up to destination.size() bytes. Returns when all of them arrived
    // or the read time-out passed; *received then holds the count, which may
    // be smaller than asked, down to 0. *received is valid only for status 0.
    virtual BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> destination,
                              std::uint32_t* received) = 0;

    // Writes the bytes. Returns when they went out or the write time-out
    // passed; *written holds the count. *written is valid only for status 0.
    virtual BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> source,
                               std::uint32_t* written) = 0;

    // Flushes the transmit and/or receive buffer (kFlushBuffer selects one).
    // Afterwards no earlier byte waits to be read or sent. The caller ignores
    // the status.
    virtual BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit,
                                      std::uint8_t flushReceive) = 0;

    // Sets the read and write time-outs, in milliseconds, for every later
    // read and write. The caller ignores the status.
    virtual BridgeStatus SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs) = 0;

    // Not one of the library's operations: a name for the adapter behind an
    // open handle that every program on this machine gives it while it stays
    // plugged in, so that a program finds what the last session on it left
    // (see SessionRecords.h). Empty where nothing carries over from one
    // program to the next, as with an adapter that lives in the program.
    virtual std::string SessionKey(BridgeHandle /*handle*/) const { return {}; }

    // Not one of the library's operations: the attached adapters, numbered
    // as Open numbers them, with their port paths where the bridge knows
    // them. By default, numbered from the count alone.
    virtual std::vector<AdapterName> ListAdapters();

    // Not one of the library's operations: opens the adapter the choice
    // names, as Open does, and says in *opened which one that was.
    // kDeviceNotFound when none is attached there. By default a number
    // opens as Open does, and a port path is looked up in ListAdapters.
    virtual BridgeStatus OpenChosen(const AdapterChoice& choice, BridgeHandle* handle, AdapterName* opened);
};

}  // namespace rvz
