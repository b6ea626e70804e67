// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordSource.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>

#include "ExitCodes.h"
#include "OutputFiles.h"
#include "ParamFile.h"
#include "RecordJson.h"
#include "Utf8Path.h"

namespace rvz::cli {

namespace {

// JSON opens with a brace, after a UTF-8 byte order mark if an editor put
// one there. Text in UTF-16 (as some Windows shells save it) is taken as
// JSON too, so that it is refused rather than sent as a record. Sixteen
// bytes that open with a brace could be a record whose first register is
// 7B: they are JSON only when they parse as an object.
bool HoldsJson(const std::string& text)
{
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        return true;
    const std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    const auto first = text.find_first_not_of(" \t\r\n", start);
    if (first == std::string::npos || text[first] != '{')
        return false;
    return text.size() != TServoConfig::kSize || ParseShallowJson(text).is_object();
}

std::optional<Failure> TakeRecord(RunContext& run, const std::string& where, const std::string& bytes,
                                  TServoConfig& record)
{
    if (bytes.size() < TServoConfig::kSize)
        return Failure{kExitFileError,
                       where + " holds " + std::to_string(bytes.size()) + " bytes; a parameter record is 16"};
    if (bytes.size() > TServoConfig::kSize)
        run.Warn(where + " holds " + std::to_string(bytes.size()) + " bytes; only the first 16 are a parameter record");
    std::copy_n(bytes.begin(), TServoConfig::kSize, record.Bytes.begin());
    return std::nullopt;
}

}  // namespace

std::optional<Failure> ReadRecordSource(RunContext& run, const std::string& name, bool json, RecordSource& source)
{
    if (name.empty())
        return Failure{kExitBadArguments, "an empty file name names no file (an unset shell variable?)"};
    const bool standardInput = name == kStandardStream;
    source.where = standardInput ? "standard input" : "\"" + name + "\"";
    std::string text;
    bool read = false;
    if (standardInput) {
        if (std::istream* in = run.services.Input()) {
            text.assign(std::istreambuf_iterator<char>(*in), std::istreambuf_iterator<char>());
            read = true;
        }
    } else {
        read = ReadTextInput(name, text);
    }
    if (read && (json || HoldsJson(text))) {
        source.given.emplace();
        if (auto problem = ValuesFromJson(text, source.where, *source.given))
            return Failure{kExitBadArguments, source.where + ": " + *problem};
        return std::nullopt;
    }
    if (standardInput || json) {
        if (!read)
            return Failure{kExitFileError, source.where + " cannot be read"};
        return TakeRecord(run, source.where, text, source.record.emplace());
    }
    // A parameter file is read as the window reads it: under its lock, with
    // its reasons for failing.
    TServoConfig record;
    const ParamFileResult loaded = ReadParamFile(PathFromUtf8(name), record);
    if (!loaded)
        return Failure{kExitFileError, source.where + ": " + DescribeParamFileError(loaded)};
    std::error_code error;
    const auto size = std::filesystem::file_size(PathFromUtf8(name), error);
    if (!error && size > TServoConfig::kSize)
        run.Warn(source.where + " is " + std::to_string(size) + " bytes long; only its first 16 are a parameter record");
    source.record = record;
    return std::nullopt;
}

std::optional<Failure> ReadParameterFile(RunContext& run, const std::string& file, TServoConfig& record)
{
    RecordSource source;
    if (auto failure = ReadRecordSource(run, file, false, source))
        return failure;
    if (!source.record)
        return Failure{kExitBadArguments, source.where + " holds JSON, not a parameter record; give it to write, "
                                                         "init or diff"};
    record = *source.record;
    return std::nullopt;
}

}  // namespace rvz::cli
