// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the command line takes from the platform it runs on: the real
// adapter and the console. One implementation per platform.

#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Doctor.h"
#include "UsbBridge.h"
#include "UsbHost.h"

namespace rvz::app {

// The real adapter: libusb on Linux, the vendor's library on Windows.
class RealAdapter {
public:
    virtual ~RealAdapter() = default;
    virtual UsbBridge& Bridge() = 0;
    // The USB library behind the bridge, where the doctor can ask it.
    virtual UsbHost* Usb() = 0;
    // The library the bridge was bound to at run time, where there is one.
    virtual std::optional<cli::DoctorStep> LibraryStep() = 0;
    // A bridge of its own, for a thread that works one adapter while others
    // work theirs.
    virtual std::unique_ptr<UsbBridge> OwnBridge() = 0;
};
std::unique_ptr<RealAdapter> MakeRealAdapter();

// The arguments after the program's name, in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Makes the console show UTF-8 output as text; RestoreConsole puts back
// what the console had before, for whatever runs in it next.
void PrepareConsole();
void RestoreConsole();
bool StandardErrorIsTerminal();
// The signals that ask a command to stop: Ctrl+C everywhere, and where the
// platform has them, SIGTERM and SIGHUP.
std::vector<int> StopSignals();
// Where the system ends a program a few seconds after its console is
// closed (or the user logs off, or the machine shuts down), that asks the
// command to stop as stop(SIGTERM) does, and holds the end off, within
// those seconds, until CommandEnded: a write that has begun is finished.
// Elsewhere SIGHUP does it, and these do nothing.
void CatchConsoleClose(void (*stop)(int));
void CommandEnded();
// A closed pipe, or a file grown to the size limit, makes a write fail, as
// a full disk does, rather than end the program between the servo and its
// log, or between two commands of a write.
void IgnoreBrokenPipes();
// The calendar time in UTC.
std::tm UtcTime(std::time_t time);
// The folder of this user's state that the program keeps between runs (the
// history of writes): $XDG_STATE_HOME/rivivev-uvezi or
// ~/.local/state/rivivev-uvezi; %LOCALAPPDATA%\Rivivev Uvezi on Windows.
// Empty when the system names none.
std::filesystem::path StateFolder();

}  // namespace rvz::app
