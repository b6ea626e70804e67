// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a command is asked to send or save: the record it starts from (what
// the servo holds, a parameter file's bytes, or the window's starting
// values), and the values given on top of it (--set, a JSON file). Values
// not given stay byte for byte as they are; values given are judged on
// what will be stored.

#include <optional>
#include <string>
#include <vector>

#include "RunContext.h"
#include "ServoConfig.h"
#include "ServoValues.h"

namespace rvz::cli {

// The record a command starts from, and the values given on top of it.
struct RecordRequest {
    std::optional<TServoConfig> file;  // a parameter file's record, when one was given
    std::vector<GivenValue> given;     // the JSON file's values first, then --set
};

// Reads the command's file (a parameter file, or JSON: see RecordSource.h) and its
// --set settings, before anything is sent; refuses a neutral signal where
// the command does not send it, and asks for it where the command needs it
// and cannot read it.
std::optional<Failure> ReadRequest(RunContext& run, bool sendsSignal, RecordRequest& request);

// The record: base with each value given stored as the window stores it,
// and every other bit as base has it. problems gets one sentence for each
// value that would not be stored as given (not a number, beyond its
// register, a pulse limit stored beyond the neutral position), naming what
// would be stored; lenient then takes it as the window does.
TServoConfig RecordWithValues(const TServoConfig& base, const std::vector<GivenValue>& given, bool lenient,
                              std::vector<std::string>& problems);

// Stores a value given into record, as the window stores it; why it is not
// stored as given (not a number, beyond its register), or nullopt.
std::optional<std::string> StoreGiven(TServoConfig& record, const GivenValue& value);

// Whether each value given could be stored as given on some servo: not a
// number or beyond its register is refused before anything is sent.
std::optional<Failure> CheckValuesAlone(RunContext& run, const std::vector<GivenValue>& given);

// RecordWithValues for a command: problems refuse the record (nothing is
// sent or saved), or with --lenient are warned of.
std::optional<Failure> BuildRecord(RunContext& run, const TServoConfig& base, const std::vector<GivenValue>& given,
                                   TServoConfig& record);

// The settings whose registers differ between two records, as "neutral, lock".
std::string ChangedSettings(const TServoConfig& before, const TServoConfig& after);

// Saves a parameter file (a new one beside it first, then in its place),
// or writes the record to standard output for "-".
std::optional<Failure> SaveRecord(RunContext& run, const std::string& file, const TServoConfig& record);

// Read Config, with its attempts, and the failure as a user reads it.
std::optional<Failure> ReadServo(TComm& comm, TServoConfig& record);
// Brings the link up as far as the servo (see RunContext::Connect), then ReadServo.
std::optional<Failure> ConnectAndReadServo(RunContext& run, TComm& comm, TServoConfig& record);

// A record read from the servo as it is saved: byte for byte, with the
// window's starting neutral signal, which cannot be read.
TServoConfig AsSavedAfterRead(TServoConfig read);

}  // namespace rvz::cli
