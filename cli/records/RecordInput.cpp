// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordInput.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "Comparison.h"
#include "ExitCodes.h"
#include "NumberText.h"
#include "OutputFiles.h"
#include "ParamFile.h"
#include "RecordJson.h"
#include "RecordSource.h"
#include "Utf8Path.h"

namespace rvz::cli {

namespace {

// What the window would store for a value given as text: its default for
// a text that is not a number, a wrapped value, a limit moved to the
// neutral position. Throws ConversionError for a dead band it cannot store.
TServoConfig WindowStores(const TServoConfig& record, Field field, const std::string& text)
{
    TServoFields fields;
    fields.DeadBand = ShownValue(record, Field::DeadBand);
    fields.LockIndex = static_cast<int>(CodeOf(record, Field::Lock));
    fields.Lower = ShownValue(record, Field::Lower);
    fields.Upper = ShownValue(record, Field::Upper);
    fields.Neutral = ShownValue(record, Field::Neutral);
    fields.Signal = ShownValue(record, Field::Signal);
    std::string* texts[] = {&fields.DeadBand, nullptr, &fields.Lower, &fields.Upper, &fields.Neutral, &fields.Signal};
    if (std::string* target = texts[static_cast<int>(field)])
        *target = text;
    return BuildConfig(fields, kCliSeparator);
}

}  // namespace

std::optional<std::string> StoreGiven(TServoConfig& record, const GivenValue& value)
{
    if (value.registers) {  // byte for byte, bits of no setting included: a copy is exact
        for (std::size_t reg : RegistersOf(value.field))
            record.Bytes[reg] = value.registers->Bytes[reg];
        return std::nullopt;
    }
    const std::string text = value.field == Field::Lock ? (value.text == "Y" ? "1" : "0") : value.text;
    if (StoreField(record, value.field, text, kCliSeparator))
        return std::nullopt;
    const std::string head = std::string(SettingName(value.field)) + "=" + value.text;
    if (value.field == Field::DeadBand && !ParseDecimal(text, kCliSeparator))
        return head + " is not a number (written with digits and a point)";
    if (value.field != Field::DeadBand && !ParseInteger(text))
        return head + " is not a whole number of microseconds";
    try {
        return head + " is beyond what its register holds and would be stored as " +
               ShownValue(WindowStores(record, value.field, text), value.field);
    } catch (const ConversionError&) {
        return head + " is beyond what its register holds and cannot be stored at all";
    }
}

namespace {

// A pulse limit that the record stores beyond its neutral position, when
// a value given had a hand in it; the sentence, or nullopt.
std::optional<std::string> LimitBeyondNeutral(const TServoConfig& record, const std::vector<GivenValue>& given,
                                              Field limit)
{
    const std::int32_t neutral = ReadInteger(ShownValue(record, Field::Neutral), 0);
    const std::int32_t stored = ReadInteger(ShownValue(record, limit), 0);
    const bool beyond = limit == Field::Lower ? stored > neutral : stored < neutral;
    if (!beyond)
        return std::nullopt;
    const char* side = limit == Field::Lower ? "above" : "below";
    const std::string name = SettingName(limit);
    // Registers given byte for byte are taken as they are, as a file's bytes are.
    const auto asText = [&](Field field) {
        return std::any_of(given.begin(), given.end(),
                           [&](const GivenValue& value) { return value.field == field && !value.registers; });
    };
    if (!asText(limit) && !asText(Field::Neutral))
        return std::nullopt;
    for (const GivenValue& value : given)
        if (value.field == limit && !value.registers)
            return name + "=" + value.text + " would be stored as " + std::to_string(stored) + ", " + side +
                   " the neutral position " + std::to_string(neutral);
    if (asText(Field::Neutral))
        return "the neutral position would be stored as " + std::to_string(neutral) + ", " +
               (limit == Field::Lower ? "below" : "above") + " the " + name + " limit " + std::to_string(stored) +
               " already held; give --set " + name + " too";
    return std::nullopt;
}

}  // namespace

std::optional<Failure> ReadRequest(RunContext& run, bool sendsSignal, RecordRequest& request)
{
    const Options& options = run.options;
    if (options.jsonInput && options.file.empty())
        return Failure{kExitBadArguments, "--json reads a file: give it, or - for standard input"};
    if (!options.file.empty()) {
        RecordSource source;
        if (auto failure = ReadRecordSource(run, options.file, options.jsonInput, source))
            return failure;
        if (source.given)
            request.given = std::move(*source.given);
        else
            request.file = source.record;
    }
    // The settings come after the file: where both name a value, --set wins.
    std::vector<GivenValue> settings;
    if (auto problem = ParseSettings(options.settings, settings))
        return Failure{kExitBadArguments, *problem};
    for (GivenValue& value : settings) {
        std::erase_if(request.given, [&](const GivenValue& old) { return old.field == value.field; });
        request.given.push_back(std::move(value));
    }
    if (!sendsSignal && Gives(request.given, Field::Signal))
        return Failure{kExitBadArguments, "only init sends the neutral signal: write and batch write as Write Config "
                                          "does, which leaves registers 0E and 0F alone"};
    if (sendsSignal && !request.file && !Gives(request.given, Field::Signal))
        return Failure{kExitBadArguments, "the neutral signal cannot be read from the servo: give it with "
                                          "--set signal=US, or give a parameter file"};
    return std::nullopt;
}

TServoConfig RecordWithValues(const TServoConfig& base, const std::vector<GivenValue>& given, bool lenient,
                              std::vector<std::string>& problems)
{
    TServoConfig record = base;
    for (const GivenValue& value : given) {
        const auto problem = StoreGiven(record, value);
        if (!problem)
            continue;
        problems.push_back(*problem);
        if (!lenient)
            continue;
        try {
            CopyField(record, WindowStores(record, value.field, value.text), value.field);
        } catch (const ConversionError&) {
            // A dead band the window cannot store either: it stays as it was.
        }
    }
    for (Field limit : {Field::Lower, Field::Upper}) {
        const auto problem = LimitBeyondNeutral(record, given, limit);
        if (!problem)
            continue;
        problems.push_back(*problem);
        // As the window does: the limit is moved to the neutral position.
        if (lenient)
            StoreField(record, limit, ShownValue(record, Field::Neutral), kCliSeparator);
    }
    return record;
}

std::optional<Failure> CheckValuesAlone(RunContext& run, const std::vector<GivenValue>& given)
{
    for (const GivenValue& value : given) {
        TServoConfig scratch;
        if (auto problem = StoreGiven(scratch, value); problem && !run.options.lenient)
            return Failure{kExitBadArguments, *problem + "; nothing was sent"};
    }
    return std::nullopt;
}

std::optional<Failure> BuildRecord(RunContext& run, const TServoConfig& base, const std::vector<GivenValue>& given,
                                   TServoConfig& record)
{
    std::vector<std::string> problems;
    record = RecordWithValues(base, given, run.options.lenient, problems);
    if (problems.empty())
        return std::nullopt;
    if (run.options.lenient) {
        for (const std::string& problem : problems)
            run.Warn(problem);
        return std::nullopt;
    }
    std::string all;
    for (const std::string& problem : problems)
        all += (all.empty() ? "" : "; ") + problem;
    return Failure{kExitBadArguments, all + "; nothing was sent or saved (--lenient takes such values as the window "
                                            "does)"};
}

std::string ChangedSettings(const TServoConfig& before, const TServoConfig& after)
{
    std::string names;
    for (const Setting& info : kSettings) {
        TServoConfig probe = before;
        CopyField(probe, after, info.field);
        if (probe != before)
            names += (names.empty() ? "" : ", ") + std::string(info.name);
    }
    return names;
}

std::optional<Failure> SaveRecord(RunContext& run, const std::string& file, const TServoConfig& record)
{
    if (file == kStandardStream) {
        if (!run.Emit(std::string(record.Bytes.begin(), record.Bytes.end())))
            return Failure{kExitFileError, "the parameter record could not be written to standard output"};
        return std::nullopt;
    }
    if (auto refused = CheckParamFileTarget(file, run.options.force))
        return Failure{kExitFileError, "\"" + file + "\" " + *refused};
    if (auto failed = SaveParamFile(file, record))
        return Failure{kExitFileError, "\"" + file + "\": " + *failed};
    return std::nullopt;
}

std::optional<Failure> ReadServo(TComm& comm, TServoConfig& record)
{
    if (const OperationResult read = ReadConfig(comm, record.Bytes); !read)
        return Failure{kExitFailed, Failed("the read", read.failure)};
    return std::nullopt;
}

std::optional<Failure> ConnectAndReadServo(RunContext& run, TComm& comm, TServoConfig& record)
{
    if (auto failure = run.Connect(comm, true))
        return failure;
    return ReadServo(comm, record);
}

TServoConfig AsSavedAfterRead(TServoConfig read)
{
    // The neutral signal is not among the registers read; the window's
    // starting value stands in, and the rest stays byte for byte.
    StoreCode(read, Field::Signal, kDefaultSignal);
    return read;
}

}  // namespace rvz::cli
