// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The parameter file: the 16 bytes of a TServoConfig, raw, at the start of
// the file. Only regular files are read or written; a folder, pipe or device
// is refused at once, never waited on. "Exclusive use" is an flock on POSIX
// systems and a share mode that admits no other opener on Windows.

#include <filesystem>
#include <string>

#include "ServoConfig.h"

namespace rvz {

enum class ParamFileError {
    None,
    CannotOpen,        // cannot be opened or created; systemError says why
    InUse,             // held for exclusive use by another program
    NotRegularFile,    // a folder, pipe or device
    NotParameterFile,  // shorter than the 16 bytes of a record
    DanglingLink,      // a link to a file that does not exist
    ReadFailed,
    WriteFailed,
};

struct ParamFileResult {
    ParamFileError error = ParamFileError::None;
    int systemError = 0;  // an errno value, where the system gave a reason

    explicit operator bool() const { return error == ParamFileError::None; }
};

// Reads the first 16 bytes of the file, opened for exclusive use. On any
// failure config is left untouched; bytes past the 16th are ignored.
ParamFileResult ReadParamFile(const std::filesystem::path& file, TServoConfig& config);

// Writes the 16 bytes at the start of the file. An existing file is opened
// without truncating it, so a longer file keeps its tail; otherwise the file
// is created. A file held by another program is never emptied. Links and
// permissions are taken as FileWriting.h says: a link is written through,
// one that leads nowhere is refused, as is a file the writer may not write.
ParamFileResult WriteParamFile(const std::filesystem::path& file, const TServoConfig& config);

// One plain English sentence that says what went wrong, for the user.
std::string DescribeParamFileError(const ParamFileResult& result);

}  // namespace rvz
