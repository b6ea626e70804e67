#pragma once
// The command line's exit codes, for scripts to branch on.

namespace rvz::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitBadArguments = 2,
    kExitNoAdapter = 3,       // none attached, or it cannot be opened
    kExitWrongAdapter = 4,    // it does not identify itself as a servo adapter
    kExitNoServo = 5,         // no servo answers the probe
    kExitFailed = 6,          // the servo did not complete the operation
    kExitMismatch = 7,        // --verify read back other values
    kExitFileError = 8,       // a parameter file, log or report cannot be used
    kExitBusy = 9,            // another program holds the adapter
};

}  // namespace rvz::cli
