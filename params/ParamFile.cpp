// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParamFile.h"

#include <cerrno>
#include <system_error>

#include "FileWriting.h"
#include "ParamFileInPlace.h"

namespace rvz {

namespace {

std::string SystemReason(int error) { return std::generic_category().message(error); }

}  // namespace

ParamFileResult WriteParamFile(const std::filesystem::path& file, const TServoConfig& config)
{
    // In place, not beside: a longer file keeps its tail. A path that cannot
    // be examined is left to the open, which says why.
    files::Target target;
    files::ResolveTarget(file, target);
    switch (target.refusal) {
    case files::Refusal::None:
        return WriteParamFileInPlace(target.file, config);
    case files::Refusal::CannotExamine:
        return WriteParamFileInPlace(file, config);
    case files::Refusal::DanglingLink:
        return {ParamFileError::DanglingLink, 0};
    case files::Refusal::NotRegularFile:
        return {ParamFileError::NotRegularFile, 0};
    case files::Refusal::ReadOnly:
        return {ParamFileError::CannotOpen, EACCES};
    }
    return {ParamFileError::CannotOpen, 0};
}

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
    case ParamFileError::DanglingLink:
        return "This is a link to a file that does not exist; choose the file itself, or remove the link.";
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
