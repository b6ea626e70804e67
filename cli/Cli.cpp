// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's parsing, help and dispatch, all driven by the table of
// commands.
#include "Cli.h"

#include <CLI/CLI.hpp>

#include <array>

#include "Commands.h"
#include "ExitCodes.h"
#include "ServoValues.h"

namespace rvz::cli {

namespace {

// The global options that take a value in the next word.
constexpr std::array kGlobalValueOptions{"--trace", "--adapter"};

// The command named on the line: the first word that is neither an option
// nor the value of a global one.
std::optional<std::string> CommandWord(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (std::find(kGlobalValueOptions.begin(), kGlobalValueOptions.end(), arguments[i]) !=
            kGlobalValueOptions.end()) {
            ++i;
            continue;
        }
        if (!arguments[i].empty() && arguments[i][0] == '-')
            continue;
        return arguments[i];
    }
    return std::nullopt;
}

// The whole parser: the global options, then one subcommand per row of the table.
void BuildParser(CLI::App& app, Options& options)
{
    app.require_subcommand(0, 1);
    // Global options may stand before or after the command.
    app.fallthrough();
    app.set_version_flag("--version", std::string(kProgram) + " " + kVersion);
    app.add_flag("--demo", options.demo, "use the built-in simulated adapter and servo");
    app.add_option_function<std::string>("--trace", [&options](const std::string& value) { options.trace = value; },
                                         "append every bridge call with its bytes, status and duration to FILE")
        ->option_text("FILE");
    app.add_option_function<std::string>(
           "--adapter", [&options](const std::string& value) { options.adapter = ParseAdapterChoice(value); },
           "the adapter to use when several are attached: its number or its USB port path, as detect lists them "
           "(default: the first)")
        ->option_text("NAME")
        ->check(CLI::Validator(
            [](std::string& value) {
                return ParseAdapterChoice(value) ? std::string()
                                                 : "\"" + value + "\" names no adapter: give its number (0, 1, ...) "
                                                   "or its USB port path (such as 1-2 or 3-1.4), as detect lists them";
            },
            "NAME"));
    app.footer("Exit codes: " + ExitCodesSentence() + ".\nRun '" + std::string(kProgram) +
               " help COMMAND' for a command's options.\nExample: rivivev-uvezi-cli --demo read --json");
    for (const CommandEntry& entry : Commands()) {
        CLI::App* command = app.add_subcommand(entry.name, entry.summary);
        entry.addOptions(*command, options);
        const bool takesValues = command->get_option_no_throw("--set") != nullptr;
        command->footer((takesValues ? "Settings:\n" + SettingsHelp() +
                                           "A value that is not a number, that its register cannot hold or a limit "
                                           "stored beyond the neutral position is refused, and nothing is sent or "
                                           "saved, unless --lenient. Settings not given stay as they are.\n"
                                     : std::string()) +
                        "Example: " + entry.example);
    }
}

int Help(const std::vector<std::string>& arguments, CLI::App& app, std::ostream& out, std::ostream& err)
{
    const auto it = std::find(arguments.begin(), arguments.end(), "help");
    const std::optional<std::string> topic = CommandWord(std::vector<std::string>(std::next(it), arguments.end()));
    if (!topic) {
        out << app.help();
        return kExitOk;
    }
    if (!FindCommand(*topic)) {
        err << kProgram << ": \"" << *topic << "\" is not a command; the commands are " << CommandNames() << "\n";
        return kExitBadArguments;
    }
    out << app.get_subcommand(*topic)->help();
    return kExitOk;
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, CliServices& services, std::ostream& out, std::ostream& err)
{
    Options options;
    CLI::App app{"Sets up a programmable digital RC servo through its USB adapter.", kProgram};
    BuildParser(app, options);

    // help, help COMMAND, and a word that is no command, before the parser sees them.
    const std::optional<std::string> word = CommandWord(arguments);
    if (word == "help")
        return Help(arguments, app, out, err);
    if (word && !FindCommand(*word)) {
        err << kProgram << ": \"" << *word << "\" is not a command; the commands are " << CommandNames() << " (run '"
            << kProgram << " help')\n";
        return kExitBadArguments;
    }

    // "--backup=" with nothing after it, or "-o=FILE", would take the next
    // word or a name beginning with '=' for the file.
    for (const std::string& argument : arguments) {
        const bool emptyLong = argument.rfind("--", 0) == 0 && argument.size() > 2 && argument.back() == '=';
        const bool shortWithEquals = argument.size() > 2 && argument[0] == '-' && argument[1] != '-' && argument[2] == '=';
        if (emptyLong || shortWithEquals) {
            err << kProgram << ": \"" << argument << "\": " << (emptyLong ? "an option needs a value after '='"
                                                                      : "write a short option and its value apart")
                << "\n";
            return kExitBadArguments;
        }
    }

    std::vector<const char*> argv{kProgram};
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp&) {
        out << (app.get_subcommands().empty() ? app.help() : app.get_subcommands().front()->help());
        return kExitOk;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return kExitOk;
    } catch (const CLI::CallForVersion&) {
        out << kProgram << " " << kVersion << "\n" << kLicenceNotice;
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        const std::string which = app.get_subcommands().empty() ? "" : " " + app.get_subcommands().front()->get_name();
        err << kProgram << ": " << error.what() << "; run '" << kProgram << " help" << which << "' for usage\n";
        return kExitBadArguments;
    }
    if (app.get_subcommands().empty()) {
        err << kProgram << ": a command is required: one of " << CommandNames() << " (run '" << kProgram << " help')\n";
        return kExitBadArguments;
    }

    RunContext run(options, arguments, services, out, err);
    if (auto failure = run.Prepare())
        return run.Fail(*failure);
    // CLI11 has made sure that exactly one command was parsed.
    const CommandEntry* command = FindCommand(app.get_subcommands().front()->get_name());
    return run.Finish(command->run(run));
}

}  // namespace rvz::cli
