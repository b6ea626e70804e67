// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line's exit codes, for scripts to branch on. The one table
// below is what the help prints; the man page and the README are checked
// against it by the tests.

#include <string>

namespace rvz::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitDifferent = 1,  // diff: the two sides differ
    kExitBadArguments = 2,
    kExitNoAdapter = 3,     // none attached, or it cannot be opened
    kExitWrongAdapter = 4,  // it does not identify itself as a servo adapter
    kExitNoServo = 5,       // no servo answers the probe
    kExitFailed = 6,        // the servo did not complete the operation
    kExitMismatch = 7,      // --verify read back other values
    kExitFileError = 8,     // a parameter file, log or report cannot be used
    kExitBusy = 9,          // another program holds the adapter
    kExitNotAsLeft = 10,    // undo: the servo does not hold what the write left
    // Stopped by a signal: 128 and the signal's number, as shells report it.
    kExitHangUp = 129,
    kExitInterrupted = 130,
    kExitQuit = 131,
    kExitUser1 = 138,
    kExitUser2 = 140,
    kExitAlarm = 142,
    kExitTerminated = 143,
};

struct ExitCodeInfo {
    int code;
    const char* meaning;
};

inline constexpr ExitCodeInfo kExitCodes[] = {
    {kExitOk, "success"},
    {kExitDifferent, "differences found (diff)"},
    {kExitBadArguments, "bad arguments"},
    {kExitNoAdapter, "no adapter (or it cannot be opened)"},
    {kExitWrongAdapter, "wrong adapter"},
    {kExitNoServo, "no servo answers"},
    {kExitFailed, "operation failed"},
    {kExitMismatch, "verification mismatch"},
    {kExitFileError, "file or output error"},
    {kExitBusy, "adapter in use by another program"},
    {kExitNotAsLeft, "the servo does not hold what the write to undo left (undo)"},
    {kExitHangUp, "stopped by SIGHUP"},
    {kExitInterrupted, "interrupted (Ctrl+C)"},
    {kExitQuit, "stopped by SIGQUIT"},
    {kExitUser1, "stopped by SIGUSR1"},
    {kExitUser2, "stopped by SIGUSR2"},
    {kExitAlarm, "stopped by SIGALRM"},
    {kExitTerminated, "stopped by SIGTERM"},
};

// "0 success, 2 bad arguments, ... 143 stopped by SIGTERM".
inline std::string ExitCodesSentence()
{
    std::string sentence;
    for (const ExitCodeInfo& info : kExitCodes)
        sentence += (sentence.empty() ? "" : ", ") + std::to_string(info.code) + " " + info.meaning;
    return sentence;
}

// The exit code of a program stopped by signal number signal.
constexpr int ExitCodeOfSignal(int signal) { return 128 + signal; }

// A stopping signal as a message names it: "Ctrl+C", "SIGTERM".
inline std::string SignalName(int signal)
{
    if (signal == kExitInterrupted - 128)
        return "Ctrl+C";
    const std::string prefix = "stopped by ";
    for (const ExitCodeInfo& info : kExitCodes)
        if (info.code == ExitCodeOfSignal(signal) && std::string(info.meaning).rfind(prefix, 0) == 0)
            return std::string(info.meaning).substr(prefix.size());
    return "signal " + std::to_string(signal);
}

}  // namespace rvz::cli
