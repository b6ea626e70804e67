// SPDX-License-Identifier: GPL-3.0-or-later
#include <CLI/CLI.hpp>

#include <algorithm>

#include "Commands.h"
#include "ServoValues.h"

namespace rvz::cli {

namespace {

// A path option: unset unless given, so that '' is told from nothing.
CLI::Option* AddPath(CLI::App& command, const std::string& names, std::optional<std::string>& path,
                     const std::string& help)
{
    return command.add_option_function<std::string>(names, [&path](const std::string& value) { path = value; }, help)
        ->option_text("FILE");
}

void AddJson(CLI::App& command, Options& options) { command.add_flag("--json", options.json, "print JSON"); }

void AddForce(CLI::App& command, Options& options, const char* what)
{
    command.add_flag("--force", options.force, what);
}

void AddRecordInput(CLI::App& command, Options& options, bool withFile)
{
    if (withFile) {
        command.add_option("file", options.file,
                           "a parameter file (.svo) to start from, or - for standard input; without one, the "
                           "values the servo holds are the start");
        command.add_flag("--json", options.jsonInput, "the file holds JSON as read --json prints");
    }
    command.add_option("--set", options.settings, "NAME=VALUE, once per setting (see the settings below)")
        ->allow_extra_args(false);
    command.add_flag("--lenient", options.lenient,
                     "take values as the window does (a default for a non-number, wrapped or moved values) with "
                     "a warning, instead of refusing them");
}

void AddDryRun(CLI::App& command, Options& options, const char* what)
{
    command.add_flag("--dry-run", options.dryRun, what);
}

void AddSending(CLI::App& command, Options& options)
{
    AddRecordInput(command, options, true);
    AddPath(command, "--backup", options.backup,
            "first save what the servo holds to this new parameter file, so that 'write FILE' undoes the change");
    AddForce(command, options, "let --backup replace an existing file");
    command.add_flag("--verify", options.verify, "read the registers back and compare them byte for byte");
    AddDryRun(command, options,
              "read the servo, check everything, print what would change, and send nothing (no backup either)");
}

void DetectOptions(CLI::App& command, Options& options) { AddJson(command, options); }

void ReadOptions(CLI::App& command, Options& options)
{
    AddPath(command, "-o,--output", options.output, "also save it to a parameter file (- for standard output)");
    AddForce(command, options, "let -o overwrite a file that is not a parameter file");
    AddJson(command, options);
}

void ShowOptions(CLI::App& command, Options& options)
{
    command.add_option("file", options.file, "the parameter file, or - for standard input")->required();
    AddJson(command, options);
}

void MakeOptions(CLI::App& command, Options& options)
{
    AddRecordInput(command, options, false);
    AddPath(command, "-o,--output", options.output, "the parameter file to write (- for standard output)")->required();
    AddForce(command, options, "let -o overwrite a file that is not a parameter file");
}

void BatchOptions(CLI::App& command, Options& options)
{
    AddRecordInput(command, options, true);
    command.add_flag("--verify", options.verify, "verify each servo");
    command.add_option("--count", options.count, "stop after N servos (default: until Ctrl+C)")
        ->check(CLI::Range(1, 1000000).description("a whole number from 1 to 1000000"));
    AddPath(command, "--log", options.log,
            "append one JSON line per servo to FILE, with the values written and those it held before");
    AddDryRun(command, options, "read the first servo, print what would change, send nothing and end");
    command.add_flag("--parallel", options.parallel,
                     "work every adapter attached at the start at once, each with a servo of its own; --count "
                     "counts the servos of all of them");
}

void DiffOptions(CLI::App& command, Options& options)
{
    const char* side = "a parameter file (.svo), JSON as read --json prints it, - for standard input, or servo for "
                       "the attached servo";
    command.add_option("a", options.file, side)->required();
    command.add_option("b", options.other, side)->required();
    AddJson(command, options);
}

void HistoryOptions(CLI::App& command, Options& options)
{
    command.add_option("--count", options.count, "show the last N writes (default 10)")
        ->check(CLI::Range(1, 1000000).description("a whole number from 1 to 1000000"));
    command.add_flag("--json", options.json, "print each write as a JSON line, as the history keeps it");
}

void UndoOptions(CLI::App& command, Options& options)
{
    command.add_option("n", options.back, "the write so many back in the history (default 1, the last; see history)")
        ->check(CLI::Range(1, 1000000).description("a whole number from 1 to 1000000"));
    AddForce(command, options, "undo even when the servo does not hold what that write left");
    command.add_flag("--verify", options.verify, "read the registers back and compare them byte for byte");
    command.add_flag("--same-servo", options.sameServo,
                     "the servo is the one that init and the blocks before it went to, unchanged by other tools: "
                     "an init's undo then puts back the whole block, register 0 and the neutral signal included");
    AddDryRun(command, options, "read the servo, print what would change, and send nothing");
}

void DoctorOptions(CLI::App& command, Options& options)
{
    AddPath(command, "--report", options.report, "write a report for the developers to FILE (- for standard output)");
    AddJson(command, options);
}

const CommandEntry kCommandTable[] = {
    {"detect", "poll once as the window does and say what is attached", "rivivev-uvezi-cli detect", DetectOptions,
     RunDetect},
    {"read", "read the servo's configuration, as Read Config does", "rivivev-uvezi-cli read -o servo.svo",
     ReadOptions, RunRead},
    {"write", "write the configuration register by register, as Write Config does",
     "rivivev-uvezi-cli write --set neutral=1520 --verify --backup before.svo", AddSending, RunWrite},
    {"init", "send the whole parameter block with its CRC, as Initialize does",
     "rivivev-uvezi-cli init servo.svo --verify", AddSending, RunInit},
    {"show", "show a parameter file", "rivivev-uvezi-cli show servo.svo --json", ShowOptions, RunShow},
    {"make", "make a parameter file from values, without an adapter",
     "rivivev-uvezi-cli make --set neutral=1520 --set lower=950 -o servo.svo", MakeOptions, RunMake},
    {"batch", "program servo after servo: plug one in with its adapter, wait, unplug it, plug the next",
     "rivivev-uvezi-cli batch servo.svo --verify --count 20 --log workshop.jsonl", BatchOptions, RunBatch},
    {"diff", "compare two records as stored: files, JSON, standard input or the servo",
     "rivivev-uvezi-cli diff servo before.svo", DiffOptions, RunDiff},
    {"history", "list the last writes made from the command line, with what each changed",
     "rivivev-uvezi-cli history --count 5", HistoryOptions, RunHistory},
    {"undo", "put back what the servo held before the last write in the history (or an earlier one)",
     "rivivev-uvezi-cli undo --verify", UndoOptions, RunUndo},
    {"doctor", "find out step by step why the adapter is not usable", "rivivev-uvezi-cli doctor --report report.txt",
     DoctorOptions, RunDoctor},
};

}  // namespace

std::span<const CommandEntry> Commands() { return kCommandTable; }

const CommandEntry* FindCommand(std::string_view name)
{
    const auto it = std::find_if(std::begin(kCommandTable), std::end(kCommandTable),
                                 [&](const CommandEntry& entry) { return name == entry.name; });
    return it == std::end(kCommandTable) ? nullptr : &*it;
}

std::string CommandNames()
{
    std::string names;
    for (const CommandEntry& entry : kCommandTable)
        names += (names.empty() ? "" : ", ") + std::string(entry.name);
    return names;
}

std::vector<std::string> OptionNames(std::string_view name)
{
    const CommandEntry* entry = FindCommand(name);
    if (!entry)
        return {};
    CLI::App command;
    Options options;
    entry->addOptions(command, options);
    std::vector<std::string> names;
    for (const CLI::Option* option : command.get_options()) {
        if (option == command.get_help_ptr())
            continue;
        for (const std::string& shortName : option->get_snames())
            names.push_back("-" + shortName);
        for (const std::string& longName : option->get_lnames())
            names.push_back("--" + longName);
    }
    return names;
}

}  // namespace rvz::cli
