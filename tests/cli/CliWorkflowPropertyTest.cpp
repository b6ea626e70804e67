// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's promises as a property over random work, in virtual
// time: random command lines (make, show, read, write, init, batch; with
// --set, files, JSON, --backup, --log, --verify) against the simulated
// servo, with late and lost replies, unplugs, a signal or a kill at a
// random command, and a history that is a link leading nowhere or round in
// a loop, in a folder that cannot be written, or held to a file-size limit.
// Exit 0 means the servo holds exactly what was asked and nothing else
// changed; a write that fails after it began says what the servo may hold
// and how to put it back; a signal never tears a servo; a servo changed is
// always in the history, which says how the write ended or that it did not
// (killed); every servo a batch wrote has its log line; a backup holds what
// the servo held; no file is left half-written.
//
// The seed is printed; RVZ_CLI_PROPERTY_SEED replays a run and
// RVZ_CLI_PROPERTY_STEPS makes it longer.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "CliFixture.h"
#include "History.h"
#include "RecordInput.h"
#include "RecordJson.h"
#include "ServoOperations.h"

namespace rvz::cli {
namespace {

using Registers = SimulatedAdapter::Registers;

std::uint64_t FromEnvironment(const char* name, std::uint64_t otherwise)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 0) : otherwise;
}

// The registers a write puts on the servo.
bool SameConfig(const Registers& a, const Registers& b)
{
    for (std::size_t reg : kConfigRegisters)
        if (a[reg] != b[reg])
            return false;
    return true;
}

// What may be wrong with the history's file or folder while a command runs.
enum class HistoryFault { None, LinkToNowhere, LinkInALoop, FolderReadOnly, SizeLimit };

class Workflow : public test::CliFixture {
public:
    void Start(std::uint64_t seed)
    {
#ifndef _WIN32
        std::signal(SIGXFSZ, SIG_IGN);  // as the program does: a file at its limit fails like a full disk
#endif
        m_random.seed(seed);
        services.sim.UseClock(services.clock);
        services.sim.KeepCommands(false);
        // The bench: a programmed servo goes with its adapter, and a fresh
        // one comes; what each programmed one held when it went is kept for
        // the log's check (one pulled out by a fault before it was programmed
        // is no servo of the batch).
        services.onPause = [this] {
            if (services.programmed > replaced && services.sim.IsPluggedIn()) {
                m_replacedServos.push_back(services.sim.ServoRegisters());
                services.sim.Unplug();
            } else if (!services.sim.IsPluggedIn()) {
                services.sim.ReplaceServo();
                ++replaced;
                services.sim.Plug();
            }
        };
    }

    // One command line with its faults; empty, or which promise it broke.
    std::string Step()
    {
        std::vector<std::string> arguments = DrawCommand();
        Arrange();
        const Registers before = services.sim.ServoRegisters();
        // Now and then a history begins afresh, so that reading it stays cheap.
        if (++m_steps % 40 == 0)
            std::filesystem::remove(services.history);
        const std::vector<HistoryEntry> history = History();
        m_described = Join(arguments);
        m_replacedServos.clear();
        const HistoryFault fault = BreakHistory();
        const auto folder = Folder();
        const int code = Run(arguments);
        const bool folderKept = Folder() == folder;
        MendHistory(fault);
        const bool dry = std::find(arguments.begin(), arguments.end(), "--dry-run") != arguments.end();
        ++m_outcomes[arguments[0] + (dry ? " --dry-run " : " ") + std::to_string(code)];
        m_described += " -> " + std::to_string(code) + ": " + out.str() + err.str();
        if (std::string broken = JudgeFault(arguments, code, before, fault); !broken.empty())
            return broken;
        if (std::string broken = JudgeHistory(arguments, code, before, history); !broken.empty())
            return broken;
        if (dry && !folderKept)
            return "a dry run made, changed or removed a file";
        return Judge(arguments, code, before);
    }

    const std::string& Described() const { return m_described; }

    // The test's folder, where the history, logs, backups and files are: each name with its size.
    std::map<std::string, std::uintmax_t> Folder() const
    {
        std::map<std::string, std::uintmax_t> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
            files[entry.path().filename().string()] = entry.is_regular_file(error) ? entry.file_size(error) : 0;
        return files;
    }

private:
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(m_random); }
    template <typename T>
    const T& Pick(const std::vector<T>& choices)
    {
        return choices[static_cast<std::size_t>(Between(0, static_cast<int>(choices.size()) - 1))];
    }

    static std::string Join(const std::vector<std::string>& words)
    {
        std::string line;
        for (const std::string& word : words)
            line += (line.empty() ? "" : " ") + word;
        return line;
    }

    void Arrange()
    {
        if (!services.sim.IsPluggedIn())
            services.sim.Plug();
        services.sim.SetReplyDelay(LinkTime{Chance(0.7) ? Between(0, 30) : Between(30, 120)},
                                   LinkTime{Chance(0.3) ? Between(0, 40) : 0});
        services.sim.LoseReplies(Chance(0.1) ? Between(1, 3) : 0);
        services.sim.UnplugAtCommand(Chance(0.05) ? Between(1, 25) : 0);
        services.signal = 0;
        services.pauses = 0;
        services.programmed = 0;
        replaced = 0;
        // Often in the middle of a write: identify, probe and six reads come first.
        services.signalAtCommand = Chance(0.15) ? services.sim.CommandCount() + static_cast<std::size_t>(Between(1, 22)) : 0;
        services.signalThen = Pick(std::vector<int>{1, 2, 3, 10, 12, 14, 15});
        services.killable.killAtCommand =
            Chance(0.06) ? services.sim.CommandCount() + static_cast<std::size_t>(Between(1, 22)) : 0;
        services.clock.SleepFor(LinkTime{Between(0, 3000)});  // the next line comes after a while
    }

    std::string Setting()
    {
        static const std::vector<std::string> values{
            "deadband=" + std::to_string(Between(1, 60) / 5.0).substr(0, 4), "deadband=13.2", "lock=Y", "lock=N",
            "upper=" + std::to_string(Between(1500, 3300)), "lower=" + std::to_string(Between(0, 1600)),
            "neutral=" + std::to_string(Between(950, 2250)), "neutral=15x0"};
        return Pick(values);
    }

    std::vector<std::string> DrawCommand()
    {
        std::vector<std::string> arguments;
        const std::string command = Pick(std::vector<std::string>{"make", "show", "read", "read", "write", "write",
                                                                  "write", "init", "batch", "undo", "undo", "diff",
                                                                  "history"});
        arguments.push_back(command);
        if (command == "undo" || command == "diff")
            return DrawHistoryCommand(arguments);
        if (command == "history") {
            if (Chance(0.5))
                arguments.insert(arguments.end(), {"--count", std::to_string(Between(1, 5))});
            return arguments;
        }
        const bool sends = command == "write" || command == "init" || command == "batch";
        if (sends && Chance(0.3) && !m_files.empty()) {
            const std::string& file = Pick(m_files);
            arguments.push_back(file);
            if (file.ends_with(".json"))
                arguments.push_back("--json");
        }
        if (command != "read" && command != "show")
            for (int i = Between(sends && arguments.size() == 1 ? 1 : 0, 3); i > 0; --i)
                arguments.insert(arguments.end(), {"--set", Setting()});
        if (command == "init" && Chance(0.8))
            arguments.insert(arguments.end(), {"--set", "signal=" + std::to_string(Between(0, 3000))});
        if (sends && Chance(0.5))
            arguments.push_back("--verify");
        if ((command == "write" || command == "init") && Chance(0.4))
            arguments.insert(arguments.end(), {"--backup", NewFile(".svo")});
        if (command == "batch")
            arguments.insert(arguments.end(), {"--count", std::to_string(Between(1, 2)), "--log", File("log.jsonl")});
        if (command == "make" || (command == "read" && Chance(0.3)))
            arguments.insert(arguments.end(), {"-o", NewFile(".svo")});
        if (command == "show")
            arguments.push_back(m_files.empty() ? File("none.svo") : Pick(m_files));
        if (sends && Chance(0.15))
            arguments.push_back("--dry-run");
        if (command == "read" && arguments.size() == 1 && Chance(0.5)) {
            arguments.push_back("--json");
            m_jsonFromRead = true;
        }
        return arguments;
    }

    std::vector<std::string> DrawHistoryCommand(std::vector<std::string> arguments)
    {
        if (arguments[0] == "diff") {
            const std::string side = m_files.empty() || Chance(0.2) ? "servo" : Pick(m_files);
            arguments.insert(arguments.end(), {"servo", side});
            return arguments;
        }
        if (Chance(0.4))
            arguments.push_back(std::to_string(Between(1, 4)));
        for (const char* flag : {"--verify", "--force", "--dry-run", "--same-servo"})
            if (Chance(0.2))
                arguments.push_back(flag);
        return arguments;
    }

    std::filesystem::path Aside() const { return temp.path() / "history.aside"; }

    // Now and then the history's file or folder is made hostile for one
    // command (where links, permissions and size limits are POSIX ones).
    HistoryFault BreakHistory()
    {
        const auto fault = Chance(0.9) ? HistoryFault::None
                                       : Pick(std::vector<HistoryFault>{HistoryFault::LinkToNowhere, HistoryFault::LinkInALoop,
                                                                        HistoryFault::FolderReadOnly, HistoryFault::SizeLimit});
#ifdef _WIN32
        (void)fault;
        return HistoryFault::None;
#else
        const std::filesystem::path& history = services.history;
        std::error_code error;
        switch (fault) {
        case HistoryFault::None:
            break;
        case HistoryFault::LinkToNowhere:
        case HistoryFault::LinkInALoop:
            std::filesystem::rename(history, Aside(), error);
            std::filesystem::create_symlink(fault == HistoryFault::LinkToNowhere ? "gone/history.jsonl" : "history.jsonl",
                                            history);
            break;
        case HistoryFault::FolderReadOnly:
            if (Chance(0.5))
                std::filesystem::remove(history.string() + ".lock", error);
            std::filesystem::permissions(temp.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
            break;
        case HistoryFault::SizeLimit: {
            // Somewhere in the line written ahead, or in the outcome's line after it.
            const std::uintmax_t size = std::filesystem::exists(history) ? std::filesystem::file_size(history) : 0;
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = static_cast<rlim_t>(size + static_cast<std::uintmax_t>(Between(0, 1400)));
            ::setrlimit(RLIMIT_FSIZE, &limit);
            break;
        }
        }
        return fault;
#endif
    }

    void MendHistory(HistoryFault fault)
    {
#ifndef _WIN32
        std::error_code error;
        if (fault == HistoryFault::LinkToNowhere || fault == HistoryFault::LinkInALoop) {
            std::filesystem::remove(services.history);
            std::filesystem::rename(Aside(), services.history, error);
        }
        if (fault == HistoryFault::FolderReadOnly)
            std::filesystem::permissions(temp.path(), std::filesystem::perms::owner_all);
        if (fault == HistoryFault::SizeLimit) {
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
#else
        (void)fault;
#endif
    }

    // With a history that cannot be written, nothing is sent, and a dry run
    // says so as the real run would; one that can still be read is read.
    std::string JudgeFault(const std::vector<std::string>& arguments, int code, const Registers& before,
                           HistoryFault fault)
    {
        const std::string& command = arguments[0];
        const bool sends = command == "write" || command == "init" || command == "undo" || command == "batch";
        const bool link = fault == HistoryFault::LinkToNowhere || fault == HistoryFault::LinkInALoop;
#ifndef _WIN32
        const bool readOnly = fault == HistoryFault::FolderReadOnly && ::geteuid() != 0;
#else
        const bool readOnly = false;
#endif
        if ((link || readOnly) && sends && !SameConfig(services.sim.ServoRegisters(), before) && replaced == 0)
            return "a write went out with a history that cannot be written";
        if ((link || readOnly) && (command == "write" || command == "init") && code == kExitOk)
            return "a write or init succeeded with a history that cannot be written";
        if (command == "history" && link && code != kExitFileError)
            return "the history of a link that cannot be followed was read";
        if (command == "history" && !link && code != kExitOk)
            return "the history could not be read";
        return {};
    }

    std::vector<HistoryEntry> History() const
    {
        std::vector<HistoryEntry> entries;
        int skipped = 0;
        ReadHistory(services.history, entries, skipped);
        return entries;
    }

    // The history's promises: a line for each write that may have changed
    // a servo, once its outcome is known and saying it; none for a dry run
    // or a refusal; an undo that sends only to a servo that holds what the
    // write left, and that leaves what the servo held before it.
    std::string JudgeHistory(const std::vector<std::string>& arguments, int code, const Registers& before,
                             const std::vector<HistoryEntry>& earlier)
    {
        const std::string& command = arguments[0];
        const std::vector<HistoryEntry> entries = History();
        const Registers now = services.sim.ServoRegisters();
        const bool dry = std::find(arguments.begin(), arguments.end(), "--dry-run") != arguments.end();
        const std::size_t added = entries.size() - earlier.size();
        if (entries.size() < earlier.size())
            return "the history lost lines";
        if (added > 0 && (dry || (command != "write" && command != "init" && command != "batch" && command != "undo")))
            return "a line in the history for a command that sends nothing";
        if (dry && now != before && replaced == 0)  // a batch waiting for its first servo may get a fresh one
            return "a dry run changed the servo";
        if ((command == "write" || command == "init" || command == "undo") && !SameConfig(now, before) && added != 1)
            return "the servo changed without its one line in the history";
        if (command == "batch" && !dry) {
            std::size_t written = 0;
            std::ifstream log(File("log.jsonl"));
            for (std::string line; std::getline(log, line);)  // a line cut by a size limit is none
                written += nlohmann::json::parse(line, nullptr, false).contains("values") ? 1 : 0;
            if (added < written)
                return "a batch servo written without its line in the history";
        }
        if (code == kKilled && !SameConfig(now, before) && (added != 1 || !entries.back().Unfinished()))
            return "a write killed during its send is not on record as unfinished";
        if (added == 1 && entries.back().Unfinished() && code != kKilled &&
            (out.str() + err.str()).find("shows the write as unfinished") == std::string::npos)
            return "the history shows a write as unfinished without a word to the user";
        if (added == 1 && command != "batch") {
            const HistoryEntry& line = entries.back();
            for (std::size_t reg : kConfigRegisters)
                if (line.before.record.Bytes[reg] != before[reg])
                    return "the history's line does not hold what the servo held before";
            if (code == kExitOk && (!line.result.starts_with("written") || !line.after))
                return "a write that succeeded is on record as " + line.result;
            if (code == kExitOk && !SameConfig(line.after->record.Bytes, now))
                return "the history's line does not hold what the write left";
            const std::string said = out.str() + err.str();
            const bool sendFailed = said.find("the write failed") != std::string::npos ||
                                    said.find("the parameter block failed") != std::string::npos;
            if (sendFailed && line.result != "failed")
                return "a failed write is on record as " + line.result;
        }
        if (command != "undo" || dry || (code == kExitFileError && now == before))  // a history it could not read
            return {};
        std::size_t back = 1;
        if (arguments.size() > 1 && std::isdigit(static_cast<unsigned char>(arguments[1][0])))
            back = std::stoul(arguments[1]);
        const bool forced = std::find(arguments.begin(), arguments.end(), "--force") != arguments.end();
        if (back > earlier.size())
            return code == kExitBadArguments && now == before ? "" : "an undo of a write the history does not hold";
        const HistoryEntry& undone = earlier[earlier.size() - back];
        const KnownRecord left = undone.after.value_or(ReadFromServo(undone.written.record));
        // Where what the write left is not on record, each register as it was before it or as it was sent.
        const bool asLeft = !undone.after ? std::all_of(kConfigRegisters.begin(), kConfigRegisters.end(), [&](std::size_t reg) {
            return before[reg] == undone.before.record.Bytes[reg] || before[reg] == undone.written.record.Bytes[reg];
        }) : SameConfig(left.record.Bytes, before);
        if (code == kExitNotAsLeft && (asLeft || now != before))
            return "an undo refused a servo that held what the write left, or changed it";
        if (code == kExitOk && !asLeft && !forced)
            return "an undo sent to a servo that did not hold what the write left";
        if (code == kExitOk && !SameConfig(now, undone.before.record.Bytes))
            return "an undo succeeded without putting back what the servo held before";
        // The registers a servo cannot tell change only when the user says it
        // is the servo the blocks on record went to, and then to the block.
        const bool sameServo = std::find(arguments.begin(), arguments.end(), "--same-servo") != arguments.end();
        const bool wholeBlock = sameServo && undone.block && undone.before.known.all();
        for (std::size_t reg = 0; reg < now.size(); ++reg)
            if (code == kExitOk && !ReadFromServo(TServoConfig{}).known[reg] && now[reg] != (wholeBlock ? undone.before.record.Bytes[reg] : before[reg]))
                return "an undo left register " + RegisterName(reg) + " other than it was and other than the block";
        return {};
    }

    std::string NewFile(const char* extension)
    {
        const std::string name = File(("f" + std::to_string(m_files.size() + m_named++) + extension).c_str());
        return name;
    }

    // What the settings and the file ask of a servo that held servo; init
    // starts from what a read gives, which leaves the unread registers 0.
    Registers Asked(const std::vector<std::string>& arguments, const Registers& servo)
    {
        TServoConfig base;
        if (arguments[0] == "init") {
            for (std::size_t reg : kConfigRegisters)
                base.Bytes[reg] = servo[reg];
        } else {
            base.Bytes = servo;
        }
        std::vector<GivenValue> given;
        std::vector<std::string> settings;
        for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
            if (arguments[i] == "--set")
                settings.push_back(arguments[i + 1]);
        if (arguments.size() > 1 && arguments[1].rfind(temp.path().string(), 0) == 0) {
            std::ifstream in(arguments[1], std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), {});
            if (arguments[1].ends_with(".json"))
                ValuesFromJson(text, "file", given);
            else
                std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 16), base.Bytes.begin());
        }
        std::vector<GivenValue> fromSettings;
        ParseSettings(settings, fromSettings);
        for (GivenValue& value : fromSettings) {
            std::erase_if(given, [&](const GivenValue& old) { return old.field == value.field; });
            given.push_back(value);
        }
        std::vector<std::string> problems;
        return RecordWithValues(base, given, false, problems).Bytes;
    }

    std::string Judge(const std::vector<std::string>& arguments, int code, const Registers& before)
    {
        const std::string& command = arguments[0];
        const std::string said = out.str() + err.str();
        const Registers now = services.sim.ServoRegisters();
        for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
            if (entry.path().extension() == ".part" || entry.path().extension() == ".probe")
                return "a half-written file was left: " + entry.path().string();
        if (command == "make" && code == kExitOk && std::filesystem::file_size(arguments.back()) != 16)
            return "make wrote something else than a record";
        if (command == "read" && code == kExitOk && m_jsonFromRead) {
            // Kept as a file that a later write or batch may take.
            const std::string file = NewFile(".json");
            std::ofstream(file) << out.str();
            m_files.push_back(file);
        }
        m_jsonFromRead = false;
        for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
            if ((arguments[i] == "-o" || arguments[i] == "--backup") && std::filesystem::exists(arguments[i + 1]))
                m_files.push_back(arguments[i + 1]);

        // A link that fails is the session's to judge; valid files are never refused.
        if (command == "diff" && (code == kExitBadArguments || code == kExitFileError))
            return "diff refused valid files";
        if (command == "diff" && code >= kExitOk && code <= kExitDifferent && (code == kExitOk) != DiffSaysEqual(arguments[2], before))
            return "diff said equal for records that differ as stored, or the other way round";
        const bool dry = std::find(arguments.begin(), arguments.end(), "--dry-run") != arguments.end();
        if ((command == "write" || command == "init") && !dry) {
            const Registers asked = Asked(arguments, before);
            const bool unchanged = SameConfig(now, before);
            if (code == kExitOk && !SameConfig(now, asked))
                return "exit 0, but the servo does not hold what was asked";
            if (code == kExitOk && command == "init" && now != asked)
                return "exit 0, but the block is not on the servo";
            if (code >= 128 && !unchanged && !SameConfig(now, asked))
                return "a signal left the servo torn";
            // Written in full but not read back, or failed part-way and says what it may hold.
            const bool toldWritten = SameConfig(now, asked) && said.find(", but the read-back failed") != std::string::npos;
            const bool toldHow = said.find("put back what it held with:") != std::string::npos ||
                                 said.find("whole or not at all") != std::string::npos;
            if (code == kExitFailed && !unchanged && !toldWritten && !toldHow)
                return "a write that began and failed does not say how to put the servo back";
            const bool refused = code == kExitBadArguments ||
                                 (code == kExitFileError && said.find("shows the write as unfinished") == std::string::npos);
            if (refused && !unchanged)
                return "a refused command changed the servo";
            for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
                if (arguments[i] == "--backup" && !unchanged && !std::filesystem::exists(arguments[i + 1]))
                    return "the servo was written without its backup";
                else if (arguments[i] == "--backup" && !unchanged && !BackupHolds(arguments[i + 1], before))
                    return "the backup does not hold what the servo held";
        }
        if (command == "batch" && !dry)
            return JudgeBatch(code);
        return {};
    }

    // Whether the servo's registers equal the file's, byte for byte, where both know them.
    bool DiffSaysEqual(const std::string& file, const Registers& servo)
    {
        if (file == "servo")
            return true;
        std::ifstream in(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        TServoConfig other;
        std::set<std::size_t> known;
        if (file.ends_with(".json")) {
            const nlohmann::json json = nlohmann::json::parse(text);
            for (const auto& [key, value] : json["registers"].items()) {
                const std::size_t reg = std::stoul(key, nullptr, 16);
                other.Bytes[reg] = static_cast<std::uint8_t>(std::stoul(value.get<std::string>(), nullptr, 16));
                known.insert(reg);
            }
        } else {
            std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 16), other.Bytes.begin());
            known.insert(kConfigRegisters.begin(), kConfigRegisters.end());
        }
        return std::all_of(kConfigRegisters.begin(), kConfigRegisters.end(), [&](std::size_t reg) {
            return !known.count(reg) || other.Bytes[reg] == servo[reg];
        });
    }

    bool BackupHolds(const std::string& file, const Registers& servo)
    {
        std::ifstream in(file, std::ios::binary);
        Registers saved{};
        in.read(reinterpret_cast<char*>(saved.data()), 16);
        return in && SameConfig(saved, servo);
    }

    // Every servo written has its line, with the registers it was left holding.
    std::string JudgeBatch(int code)
    {
        std::vector<nlohmann::json> lines;
        {
            std::ifstream log(File("log.jsonl"));
            for (std::string line; std::getline(log, line);)
                if (auto parsed = nlohmann::json::parse(line, nullptr, false); !parsed.is_discarded())
                    lines.push_back(parsed);
        }
        // Closed first: Windows keeps a file that is open.
        std::filesystem::remove(File("log.jsonl"));
        std::vector<Registers> servos = m_replacedServos;
        servos.push_back(services.sim.ServoRegisters());
        for (const nlohmann::json& line : lines) {
            const std::size_t index = line["servo"].get<std::size_t>() - 1;
            if (line["result"] == "failed" && line.contains("values"))
                return "a failed servo's line carries values as if written";
            if (line["result"] != "failed" && index < servos.size()) {
                // A servo that kept other values holds what was read back from it.
                const nlohmann::json& held =
                    line["result"] == "kept other values" ? line["after"]["registers"] : line["registers"];
                char hex[4];
                for (std::size_t reg : kConfigRegisters) {
                    std::snprintf(hex, sizeof hex, "%02X", servos[index][reg]);
                    char key[4];
                    std::snprintf(key, sizeof key, "%02zX", reg);
                    if (held[key] != hex)
                        return "servo " + std::to_string(index + 1) + " does not hold what its line says: " + line.dump() + " servos " + std::to_string(servos.size());
                }
            }
        }
        if (code == kExitOk && lines.empty())
            return "exit 0 without a single line in the log";
        return {};
    }

    std::mt19937_64 m_random;
    std::uint64_t m_steps = 0;
    std::vector<std::string> m_files;
    int m_named = 0;
    bool m_jsonFromRead = false;
    std::string m_described;
    std::vector<Registers> m_replacedServos;

public:
    // How often each command ended with each code, for the run's summary.
    std::map<std::string, int> m_outcomes;
};

TEST_F(Workflow, RandomCommandLinesKeepTheirPromises)
{
    const std::uint64_t seed = FromEnvironment("RVZ_CLI_PROPERTY_SEED", 20261209);
    const std::uint64_t steps = FromEnvironment("RVZ_CLI_PROPERTY_STEPS", 2000);
    std::printf("seed %llu, %llu command lines (RVZ_CLI_PROPERTY_SEED and RVZ_CLI_PROPERTY_STEPS change them)\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(steps));
    Start(seed);
    for (std::uint64_t step = 0; step < steps; ++step) {
        const std::string broken = Step();
        ASSERT_EQ(broken, "") << "step " << step << " of seed " << seed << ": " << Described();
    }
    std::string summary;
    for (const auto& [outcome, count] : m_outcomes)
        summary += outcome + ": " + std::to_string(count) + "; ";
    std::printf("%s\n", summary.c_str());
}

}  // namespace
}  // namespace rvz::cli
