// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// rivivev-uvezi-cli: the servo set up from a terminal and from scripts. The
// commands call the same units as the window (the session, the protocol,
// the conversions and the parameter file), so both speak the same bytes.

#include <chrono>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Doctor.h"
#include "LinkClock.h"
#include "UsbBridge.h"
#include "UsbHost.h"

namespace rvz::cli {

inline constexpr const char* kVersion = RVZ_VERSION;
// What --version says after the version.
inline constexpr const char* kLicenceNotice =
    "Copyright (C) 2026 The Rivivev Uvezi developers\n"
    "License GPL-3.0-or-later: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// One adapter's own way in, for a batch that works every attached adapter
// at once, each in a thread of its own: a bridge that no other thread
// uses, the clock its session waits by, and its bench's pauses.
class AdapterLane {
public:
    virtual ~AdapterLane() = default;
    virtual UsbBridge& Bridge() = 0;
    virtual LinkClock& Clock() { return SteadyLinkClock(); }
    // As CliServices::Pause and ServoProgrammed, for this adapter alone.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
    virtual void ServoProgrammed() {}
};

// What the commands need from the program around them.
class CliServices {
public:
    virtual ~CliServices() = default;
    // The bridge to the adapter; with demo, the simulated adapter and servo.
    virtual UsbBridge& Bridge(bool demo) = 0;
    // The USB library behind the real bridge, for the doctor; null with demo.
    virtual UsbHost* Usb(bool demo) = 0;
    // Where the bridge stands on a library the platform loads at run time
    // (the vendor's library on Windows): the doctor's first step. None
    // where there is no such library.
    virtual std::optional<DoctorStep> LibraryStep(bool /*demo*/) { return std::nullopt; }
    // A lane of its own to the adapter named (see AdapterLane); null where
    // the program has none to give. Called before the lanes' threads start.
    virtual std::unique_ptr<AdapterLane> Lane(bool /*demo*/, const AdapterName& /*adapter*/) { return nullptr; }
    // Waits between two polls of a batch.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
    // The number of the first stopping signal that came (SIGINT for Ctrl+C,
    // SIGTERM, SIGHUP), or 0. Asked from every lane's thread.
    virtual int StopSignal() = 0;
    // While the command sends to the servo, a further signal does not end
    // the program at once: the operation is finished first. With lanes, true
    // while any of them sends.
    virtual void SetSending(bool /*sending*/) {}
    // The clock the adapter session waits by.
    virtual LinkClock& Clock() { return SteadyLinkClock(); }
    // A batch has programmed a servo, which is now due to be unplugged with
    // its adapter. The demo's simulated workshop pulls the adapter out and
    // plugs it in again with a fresh servo.
    virtual void ServoProgrammed() {}
    // Progress goes to standard error only when it is a terminal.
    virtual bool ErrorIsTerminal() { return false; }
    // The time for batch log lines, ISO 8601 in UTC.
    virtual std::string Now() = 0;
    // Standard input, for a file named "-"; null where there is none.
    virtual std::istream* Input() { return nullptr; }
    // What the doctor and the busy message learn of the system.
    virtual const SystemFacts& Facts() { return HostFacts(); }
    // The history of the writes made (demo: of those made to the simulated
    // servo, kept apart); empty where the system names no folder for it.
    virtual std::filesystem::path HistoryFile(bool demo) = 0;
};

// Runs one command line (without the program name); returns the exit code.
int RunCli(const std::vector<std::string>& arguments, CliServices& services, std::ostream& out, std::ostream& err);

}  // namespace rvz::cli
