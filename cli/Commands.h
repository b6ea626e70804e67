// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line's one table of commands: each command's name, summary,
// example, options and body. It drives the parsing, the help, the dispatch
// and the man page's check; each body sits in the file of its job.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "RunContext.h"

namespace CLI {
class App;
}

namespace rvz::cli {

struct CommandEntry {
    const char* name;
    const char* summary;  // one line, for the help and the man page
    const char* example;
    void (*addOptions)(CLI::App& command, Options& options);
    int (*run)(RunContext& run);
};

// The commands, in the order the help lists them.
std::span<const CommandEntry> Commands();
const CommandEntry* FindCommand(std::string_view name);
// "detect, read, ...".
std::string CommandNames();
// The options of a command, as its help names them ("-o,--output" gives
// both), for checking the man page against.
std::vector<std::string> OptionNames(std::string_view command);

// The bodies, by job: reading (ReadCommands.cpp), sending (SendCommands.cpp),
// batch (BatchCommand.cpp), diff (DiffCommand.cpp), history and undo
// (HistoryCommands.cpp), doctor (DoctorCommand.cpp).
int RunDetect(RunContext& run);
int RunRead(RunContext& run);
int RunShow(RunContext& run);
int RunMake(RunContext& run);
int RunWrite(RunContext& run);
int RunInit(RunContext& run);
int RunBatch(RunContext& run);
int RunDiff(RunContext& run);
int RunHistory(RunContext& run);
int RunUndo(RunContext& run);
int RunDoctor(RunContext& run);

}  // namespace rvz::cli
