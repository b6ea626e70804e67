// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParamFile.h"

#include <cerrno>
#include <system_error>

namespace rvz {

namespace {

std::string SystemReason(int error) { return std::generic_category().message(error); }

}  // namespace

std::string DescribeParamFileError(const ParamFileResult& result)
{
    switch (result.error) {
    case ParamFileError::None:
        return "Done.";
    case ParamFileError::CannotOpen:
        if (result.systemError == ENOENT)
            return "The file or its folder does not exist.";
        return "The file cannot be opened: " + SystemReason(result.systemError) + ".";
    case ParamFileError::InUse:
        return "The file is in use by another program; close it there and try again.";
    case ParamFileError::NotRegularFile:
        return "This is not a file but a folder, pipe or device.";
    case ParamFileError::NotParameterFile:
        return "This is not a parameter file: it holds fewer than 16 bytes.";
    case ParamFileError::ReadFailed:
        return "The file cannot be read: " + SystemReason(result.systemError) + ".";
    case ParamFileError::WriteFailed:
        return "The file cannot be written: " + SystemReason(result.systemError) + ".";
    }
    return "Unknown error.";
}

}  // namespace rvz
