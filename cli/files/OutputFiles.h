// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The files the command line writes (parameter files, traces, logs,
// reports) and the text it reads (JSON values). Every path is taken as
// FileWriting.h says: a path that names anything but a regular file (a
// FIFO, a device, a folder) or a link that leads nowhere is refused before
// it is opened, so nothing blocks on it and nothing is lost into it; a link
// is written through. Traces and logs are appended to; whatever is written
// whole is saved beside its place and then put there.

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "ServoConfig.h"

namespace rvz::cli {

enum class OutputMode { Append, Replace };

// Opens path for writing; why it cannot be used ("is not a regular file",
// "cannot be written"), or nullopt.
std::optional<std::string> OpenTextOutput(const std::string& path, OutputMode mode, std::ofstream& file);

// Whether a file could be written at path, as a dry run asks, changing
// nothing that is there: an existing file that would be appended to is
// opened to append and closed; otherwise the folder it would land in is
// probed (files::ProbeFolder). Appending is refused to a parameter file.
// Why not, or nullopt.
std::optional<std::string> CheckCanWrite(const std::string& path, OutputMode mode);
std::optional<std::string> CheckCanWrite(const std::filesystem::path& where, OutputMode mode);

// Reads a regular file whole; false when it is not one or cannot be read.
bool ReadTextInput(const std::string& path, std::string& text);

// Whether a parameter file may be written at path: a new file, or a 16-byte
// regular file; anything else only with force, and never what is not a
// regular file. Why not, or nullopt.
std::optional<std::string> CheckParamFileTarget(const std::string& path, bool force);

// Whether a backup may be written at path: never over the file the command
// reads (input), nor over any existing file unless force, nor over what is
// not a regular file. Why not, or nullopt.
std::optional<std::string> CheckBackupTarget(const std::string& path, const std::string& input, bool force);

// Writes the record, or the text, to a new file beside path, then puts it
// in path's place: a failed save leaves path as it was and nothing else
// behind. Why it failed, or nullopt.
std::optional<std::string> SaveParamFile(const std::string& path, const TServoConfig& record);
std::optional<std::string> SaveTextFile(const std::string& path, const std::string& text);

}  // namespace rvz::cli
