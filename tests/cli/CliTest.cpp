// SPDX-License-Identifier: GPL-3.0-or-later
// The command line over the simulated adapter: each command's output, exit
// code and effect on the servo, as a script would see them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

#include "CliFixture.h"
#include "Commands.h"
#include "History.h"
#include "HistoryLock.h"
#include "RecordJson.h"

namespace rvz::cli {
namespace {

using CliTest = test::CliFixture;

TEST_F(CliTest, ReadPrintsTheWindowsValuesAndRegisters)
{
    ASSERT_EQ(Run({"--demo", "read", "--json"}), kExitOk) << err.str();
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["values"]["deadband"], 6);
    EXPECT_EQ(json["values"]["upper"], 1997);
    EXPECT_EQ(json["values"]["lower"], 998);
    EXPECT_EQ(json["values"]["neutral"], 1500);
    EXPECT_EQ(json["registers"]["09"], "80");
    EXPECT_EQ(json["registers"].size(), 6u);
    EXPECT_TRUE(err.str().empty());

    ASSERT_EQ(Run({"read", "-o", File("read.svo")}), kExitOk);
    EXPECT_NE(out.str().find("pulse upper  1997 us"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(File("read.svo")), 16u);
}

// The adapter's states that a command meets before it sends anything.
struct AdapterCase {
    const char* name;
    std::function<void(SimulatedAdapter&)> arrange;
    std::vector<std::string> command;
    int exitCode;
    const char* says;  // on standard output for detect, standard error otherwise
};

class AdapterStateTest : public CliTest, public ::testing::WithParamInterface<AdapterCase> {};

TEST_P(AdapterStateTest, EndsWithItsExitCode)
{
    GetParam().arrange(services.sim);
    EXPECT_EQ(Run(GetParam().command), GetParam().exitCode);
    const std::string said = GetParam().command[0] == "detect" ? out.str() : err.str();
    EXPECT_NE(said.find(GetParam().says), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Cli, AdapterStateTest,
    ::testing::Values(
        AdapterCase{"NoAdapter", [](SimulatedAdapter& s) { s.Unplug(); }, {"read"}, kExitNoAdapter, "no adapter is attached: run"},
        AdapterCase{"OtherKind",
                    [](SimulatedAdapter& s) {
                        SimulatedAdapter::Identification id{};
                        id[21] = 0x55;
                        s.SetIdentification(id);
                    },
                    {"write", "--set", "neutral=1500"}, kExitWrongAdapter, "not a servo adapter"},
        AdapterCase{"SilentAdapter", [](SimulatedAdapter& s) { s.DropReplies(6); }, {"read"}, kExitWrongAdapter,
                    "does not answer its identification (no reply came back in time)"},
        AdapterCase{"DetectWithoutServo", [](SimulatedAdapter& s) { s.SetServoSilent(true); }, {"detect"}, kExitNoServo,
                    "no servo answers"},
        AdapterCase{"DetectsAll", [](SimulatedAdapter&) {}, {"detect"}, kExitOk, "a servo answers"},
        AdapterCase{"SilentServoIsNoServo", [](SimulatedAdapter& s) { s.SetServoSilent(true); }, {"read"},
                    kExitNoServo, "no servo answers after 3 attempts (no reply came back in time)"},
        AdapterCase{"PulledOutWhileIdentified", [](SimulatedAdapter& s) { s.UnplugAtCommand(1); }, {"detect"},
                    kExitNoAdapter, "the adapter went away"},
        AdapterCase{"FileCheckedBeforeTheAdapter", [](SimulatedAdapter& s) { s.Unplug(); },
                    {"write", "no-such.svo"}, kExitFileError, "\"no-such.svo\": "},
        AdapterCase{"UnknownSetting", [](SimulatedAdapter&) {}, {"write", "--set", "speed=3"}, kExitBadArguments,
                    "\"speed\" is not a setting; use one of deadband, lock, upper, lower, neutral, signal"},
        AdapterCase{"MissingFile", [](SimulatedAdapter&) {}, {"show", "no-such-folder/such.svo"}, kExitFileError,
                    "does not exist"},
        AdapterCase{"EmptyFileName", [](SimulatedAdapter&) {}, {"diff", "", "servo"}, kExitBadArguments,
                    "an empty file name"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CliTest, WriteAndVerifyChangeTheServo)
{
    ASSERT_EQ(Run({"write", "--set", "neutral=1520", "--verify"}), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "written and verified\n");
    EXPECT_EQ(Register(9), 0x00);
    EXPECT_EQ(Register(10), 0x0E);

    // A servo that acknowledges but keeps its old value is caught by --verify only.
    services.sim.KeepOldValueOf(7);
    EXPECT_EQ(Run({"write", "--set", "lower=900"}), kExitOk);
    EXPECT_EQ(Run({"write", "--set", "lower=900", "--verify"}), kExitMismatch);
    EXPECT_NE(err.str().find("register 07 wrote 46 read 4E"), std::string::npos) << err.str();

    // Registers given in JSON go out byte for byte, bits of no setting included.
    services.input.str(R"({"registers": {"06": "FF"}})");
    EXPECT_EQ(Run({"write", "--json", "-", "--verify"}), kExitOk) << err.str();
    EXPECT_EQ(Register(6), 0xFF);
}

// Values the window would not store as given are refused, naming the
// setting and what it would become, and nothing is sent or saved; with
// --lenient they are taken as the window takes them, with a warning.
struct RefusedCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* says;
};

class RefusedValueTest : public CliTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedValueTest, NothingIsSentOrSaved)
{
    const auto before = services.sim.ServoRegisters();
    for (const char* command : {"write", "make"}) {
        std::vector<std::string> arguments{command};
        arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
        if (std::string(command) == "make")
            arguments.insert(arguments.end(), {"-o", File("refused.svo")});
        EXPECT_EQ(Run(arguments), kExitBadArguments) << command;
        EXPECT_NE(err.str().find(GetParam().says), std::string::npos) << command << ": " << err.str();
        EXPECT_EQ(services.sim.ServoRegisters(), before) << command;
        EXPECT_FALSE(std::filesystem::exists(File("refused.svo")));
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, RefusedValueTest, ::testing::Values(
    RefusedCase{"Typo", {"--set", "upper=2l00"}, "upper=2l00 is not a whole number of microseconds"},
    RefusedCase{"NeutralWraps", {"--set", "neutral=2240"}, "neutral=2240 is beyond what its register holds and would be stored as 960"},
    RefusedCase{"DeadBandWraps", {"--set", "deadband=99"}, "deadband=99 is beyond what its register holds"},
    RefusedCase{"Comma", {"--set", "deadband=1,5"}, "deadband=1,5 is not a number"},
    RefusedCase{"Fraction", {"--set", "neutral=1500.5"}, "neutral=1500.5 is not a whole number of microseconds"},
    RefusedCase{"FullWidth", {"--set", "neutral=\xEF\xBC\x91\xEF\xBC\x95\xEF\xBC\x90\xEF\xBC\x90"}, "is not a whole number"},
    RefusedCase{"Longer Than A Double", {"--set", "lower=" + std::string(400, '9')}, "is not a whole number"},
    RefusedCase{"LimitBeyondNeutral", {"--set", "lower=1600"}, "lower=1600 would be stored as 1600, above the neutral position 1500"},
    RefusedCase{"LimitsJudgedAsStored", {"--set", "neutral=2239", "--set", "lower=2239", "--set", "upper=2239"},
                "lower=2239 would be stored as 2240, above the neutral position 2239"},
    RefusedCase{"UpperStoredBelowNeutral", {"--set", "neutral=1501", "--set", "upper=1502", "--set", "lower=1500"},
                "upper=1502 would be stored as 1498, below the neutral position 1501"},
    RefusedCase{"NeutralBelowTheLimitHeld", {"--set", "neutral=990"},
                "the neutral position would be stored as 990, below the lower limit 998 already held; give --set lower too"},
    RefusedCase{"GivenTwice", {"--set", "neutral=1500", "--set", "NEUTRAL=1510"}, "neutral is given twice in --set"}),
    [](const auto& row) {
        std::string name = row.param.name;
        name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
        return name;
    });

TEST_F(CliTest, LenientTakesValuesAsTheWindowDoes)
{
    EXPECT_EQ(Run({"make", "-o", File("w.svo"), "--lenient", "--set", "neutral=2240", "--set", "upper=2300"}), kExitOk);
    EXPECT_NE(err.str().find("warning: neutral=2240 is beyond what its register holds and would be stored as 960"),
              std::string::npos) << err.str();
    EXPECT_EQ(Run({"show", File("w.svo"), "--json"}), kExitOk);
    EXPECT_EQ(nlohmann::json::parse(out.str())["values"]["neutral"], 960);
    // Between two steps of a register's grid is rounding, not a refusal.
    EXPECT_EQ(Run({"make", "-o", File("w.svo"), "--set", "neutral=2239", "--set", "upper=2300"}), kExitOk);
    EXPECT_TRUE(err.str().empty()) << err.str();
}

// A write starts from what the servo holds: settings not named stay as they are.
TEST_F(CliTest, WriteChangesOnlyWhatItIsAsked)
{
    ASSERT_EQ(Run({"write", "--set", "upper=2100", "--set", "deadband=2", "--set", "lock=N"}), kExitOk) << err.str();
    const auto held = services.sim.ServoRegisters();
    ASSERT_EQ(Run({"write", "--set", "neutral=1520", "--verify", "--backup", File("before.svo")}), kExitOk) << err.str();
    for (int reg : {1, 6, 7, 8})
        EXPECT_EQ(Register(reg), held[static_cast<std::size_t>(reg)]) << "register " << reg;
    EXPECT_EQ(Register(10), 0x0E);

    // The backup holds what the servo held, and undoes the write.
    ASSERT_EQ(Run({"write", File("before.svo")}), kExitOk) << err.str();
    EXPECT_EQ(services.sim.ServoRegisters(), held);

    EXPECT_EQ(Run({"write", "--set", "signal=1400"}), kExitBadArguments);
    EXPECT_NE(err.str().find("only init sends the neutral signal"), std::string::npos) << err.str();
    EXPECT_EQ(Run({"init", "--set", "neutral=1500"}), kExitBadArguments) << "the signal cannot be read";
    EXPECT_NE(err.str().find("--set signal=US"), std::string::npos) << err.str();
    EXPECT_EQ(services.sim.ServoRegisters(), held);
}

// A servo cloned through JSON a person can read and edit.
TEST_F(CliTest, WriteJsonTakesWhatReadJsonPrinted)
{
    ASSERT_EQ(Run({"write", "--set", "upper=2100", "--set", "deadband=12.8", "--set", "lower=900"}), kExitOk);
    ASSERT_EQ(Run({"read", "--json"}), kExitOk);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["values"]["deadband"], 12.8);
    EXPECT_EQ(json["values"]["upper"], 2099);
    { std::ofstream(File("servo.json")) << out.str(); }
    const auto held = services.sim.ServoRegisters();
    services.sim.ReplaceServo();
    ASSERT_EQ(Run({"write", "--json", File("servo.json"), "--verify"}), kExitOk) << err.str();
    EXPECT_EQ(services.sim.ServoRegisters(), held);
    // Without --json the content says it is JSON: its values are sent, not its first 16 bytes.
    services.sim.ReplaceServo();
    ASSERT_EQ(Run({"write", File("servo.json"), "--verify"}), kExitOk) << err.str();
    EXPECT_EQ(services.sim.ServoRegisters(), held);
}

// Whatever a file holds, its content decides: a record, whatever its first
// byte, is read byte for byte; JSON, after any byte order mark or spaces, is
// never taken for a record's bytes.
TEST_F(CliTest, ARecordIsNeverTakenForJsonNorJsonForARecord)
{
    const unsigned seed = 20261210;
    std::printf("seed %u\n", seed);
    std::mt19937 random(seed);
    const std::vector<std::string> prefixes{"", " ", "\n\t ", "\xEF\xBB\xBF", "\xEF\xBB\xBF\r\n"};
    for (int round = 0; round < 300; ++round) {
        std::string bytes(TServoConfig::kSize, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        if (round % 3 == 0)
            bytes[0] = '{';  // a record whose first register is 7B
        { std::ofstream(File("r.svo"), std::ios::binary) << bytes; }
        ASSERT_EQ(Run({"show", File("r.svo"), "--json"}), kExitOk) << err.str();
        const auto shown = nlohmann::json::parse(out.str());
        for (const auto& [key, value] : shown["registers"].items())
            ASSERT_EQ(std::stoul(value.get<std::string>(), nullptr, 16),
                      static_cast<unsigned char>(bytes[std::stoul(key, nullptr, 16)])) << key;

        { std::ofstream(File("r.json"), std::ios::binary) << prefixes[random() % prefixes.size()] << out.str(); }
        ASSERT_EQ(Run({"show", File("r.json")}), kExitBadArguments) << out.str();
        ASSERT_NE(err.str().find("holds JSON"), std::string::npos) << err.str();
    }
}

TEST_F(CliTest, MakeShowAndInitShareTheWindowsRecord)
{
    ASSERT_EQ(Run({"make", "-o", File("s.svo")}), kExitOk);
    std::vector<char> bytes;
    {
        // Closed again at once: Windows keeps a file that is open elsewhere.
        std::ifstream saved(File("s.svo"), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(saved), {});
    }
    const std::vector<char> starting{0x00, 0x23, 0x00, 0x00, 0x00, 0x00, 0x01, 0x4E, char(0x9C), char(0x80), 0x0D,
                                     0x00, 0x00, 0x00, 0x05, char(0xDC)};
    EXPECT_EQ(bytes, starting) << "the starting window's record";

    ASSERT_EQ(Run({"make", "-o", File("s.svo"), "--set", "signal=1555", "--set", "lock=N"}), kExitOk);
    ASSERT_EQ(Run({"show", File("s.svo"), "--json"}), kExitOk);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["values"]["signal"], 1555);
    EXPECT_EQ(json["values"]["lock"], "N");

    ASSERT_EQ(Run({"init", File("s.svo")}), kExitOk) << err.str();
    EXPECT_EQ(Register(6), 0x00);
    EXPECT_EQ(Register(14), 0x06);
    EXPECT_EQ(Register(15), 0x13);
    EXPECT_EQ(services.sim.ReceivedCommands().back().size(), 21u);
}

TEST_F(CliTest, BatchProgramsServoAfterServoAndLogsEach)
{
    // The second servo keeps register 9.
    UseBench([&](int fresh) { services.sim.KeepOldValueOf(fresh == 1 ? 9 : -1); });
    const std::string log = File("bench.jsonl");
    EXPECT_EQ(Run({"batch", "--set", "neutral=1520", "--verify", "--count", "3", "--log", log}), kExitMismatch);
    EXPECT_EQ(out.str().substr(0, 30), "servo 1: written and verified\n");
    EXPECT_NE(out.str().find("servo 2: written, but the servo kept other values (register 09 wrote 00 read 80); "),
              std::string::npos) << out.str();
    EXPECT_NE(out.str().find("servo 3: written and verified\ndone: 2, failed: 1\n"), std::string::npos) << out.str();
    EXPECT_EQ(services.programmed, 2) << "the last servo is not waited on to go";
    EXPECT_NE(err.str().find("unplug the adapter with servo 2"), std::string::npos) << err.str();

    std::ifstream lines(log);
    std::vector<nlohmann::json> entries;
    for (std::string line; std::getline(lines, line);)
        entries.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(entries.size(), 3u);
    // What was written, and what the servo kept.
    EXPECT_EQ(entries[1]["result"], "kept other values");
    EXPECT_EQ(entries[1]["registers"]["09"], "00");
    EXPECT_EQ(entries[1]["after"]["registers"]["09"], "80");
    EXPECT_EQ(entries[2]["servo"], 3);
    EXPECT_EQ(entries[0]["values"]["neutral"], 1520);
    EXPECT_EQ(entries[0]["before"]["values"]["neutral"], 1500);
    EXPECT_EQ(entries[0]["time"], "2026-12-08T10:00:00Z");
}

TEST_F(CliTest, TraceShowsEveryBridgeCallWithItsBytes)
{
    const std::string trace = File("trace.log");
    ASSERT_EQ(Run({"--trace", trace, "read"}), kExitOk);
    std::ifstream in(trace);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("status 0x00  write 21 40 -> 2"), std::string::npos);
    EXPECT_NE(text.find("write 23 03 09 00 -> 4"), std::string::npos);
    EXPECT_NE(text.find("read 3 -> 3: 02 02 0D"), std::string::npos);
}

TEST_F(CliTest, HelpHasAnExampleAndBadArgumentsExitTwo)
{
    for (const char* command : {"detect", "read", "write", "init", "show", "make", "batch", "doctor"}) {
        EXPECT_EQ(Run({command, "--help"}), kExitOk) << command;
        EXPECT_NE(out.str().find("Example: rivivev-uvezi-cli"), std::string::npos) << command;
    }
    EXPECT_EQ(Run({"read", "--frobnicate"}), kExitBadArguments);
    EXPECT_NE(err.str().find("run 'rivivev-uvezi-cli help read' for usage"), std::string::npos) << err.str();
    EXPECT_EQ(Run({"write"}), kExitBadArguments);
}

// What a user types, and the first line of what comes back.
struct ConventionCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    const char* says;  // on standard output when the exit code is 0, standard error otherwise
};

class ConventionTest : public CliTest, public ::testing::WithParamInterface<ConventionCase> {};

TEST_P(ConventionTest, Answers)
{
    EXPECT_EQ(Run(GetParam().arguments), GetParam().exitCode) << err.str();
    const std::string said = GetParam().exitCode == kExitOk ? out.str() : err.str();
    EXPECT_NE(said.find(GetParam().says), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Cli, ConventionTest, ::testing::Values(
    ConventionCase{"Version", {"--version"}, kExitOk, "rivivev-uvezi-cli 1."},
    ConventionCase{"VersionNamesTheLicence", {"--version"}, kExitOk, "License GPL-3.0-or-later"},
    ConventionCase{"UnknownCommand", {"frobnicate"}, kExitBadArguments, "\"frobnicate\" is not a command; the commands are detect"},
    ConventionCase{"NoCommand", {"--demo"}, kExitBadArguments, "a command is required"},
    ConventionCase{"Help", {"help"}, kExitOk, "Exit codes"},
    ConventionCase{"HelpCommand", {"help", "write"}, kExitOk, "--backup"},
    ConventionCase{"CountZero", {"batch", "--set", "neutral=1500", "--count", "0"}, kExitBadArguments, "--count: Value 0 not in range 1 to 1000000"},
    ConventionCase{"SetTakesOneValue", {"make", "--set", "neutral=1500", "extra.svo", "-o", "x.svo"}, kExitBadArguments, "extra.svo"},
    ConventionCase{"EmptyTrace", {"--trace", "", "read"}, kExitBadArguments, "--trace needs a file name"},
    ConventionCase{"DetectJson", {"detect", "--json"}, kExitOk, "\"servo\":true"},
    ConventionCase{"DoctorJson", {"doctor", "--json"}, kExitOk, "\"version\":\"1."},
    ConventionCase{"InitVerify", {"init", "--set", "signal=1500", "--verify"}, kExitOk, "parameter block sent and verified"},
    ConventionCase{"MakeToStandardOutput", {"make", "-o", "-"}, kExitOk, "\x23"},
    // A dry run fails as the real run would, before it says what would change.
    ConventionCase{"DryRunWithoutBackupFolder", {"write", "--set", "upper=2100", "--backup", "no-such/b.svo", "--dry-run"},
                   kExitFileError, "no backup, so nothing was sent: \"no-such/b.svo\" cannot be written"},
    ConventionCase{"DryRunWithoutLogFolder", {"batch", "--set", "upper=2100", "--log", "no-such/l.jsonl", "--dry-run"},
                   kExitFileError, "the log \"no-such/l.jsonl\" cannot be written"}),
    [](const auto& row) { return std::string(row.param.name); });

// diff: records compared as stored, whatever names them. "@name" is a file
// of the test's own folder: a.svo is what the servo holds, typed.json says
// upper=2000 (stored as the file's 1997), other.json upper=2100.
struct DiffCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    const char* says;  // on standard output for 0 and 1, standard error otherwise
};

class DiffTest : public CliTest, public ::testing::WithParamInterface<DiffCase> {};

TEST_P(DiffTest, ComparesAsStored)
{
    ASSERT_EQ(Run({"read", "-o", File("a.svo")}), kExitOk);
    std::string nest;  // {"a": {"a": ... 1 } }, deeper than a stack copies
    for (int level = 0; level < 20000; ++level)
        nest += "{\"a\":";
    nest += "1" + std::string(20000, '}');
    for (const auto& [name, text] : std::vector<std::pair<const char*, std::string>>{
             {"typed.json", R"({"values": {"upper": 2000}})"}, {"other.json", R"({"values": {"upper": 2100}})"},
             {"bad.json", R"({"values": {"upper": "x"}})"}, {"signal.json", R"({"values": {"signal": 1500}})"},
             {"short.svo", "abc"}, {"sign.json", R"({"registers": {"01": "-1"}})"},
             {"deep.json", "{\"values\": " + nest + "}"},
             {"values.json", R"({"values": {"neutral": 1500, "deadband": 6, "lock": "Y"}})"},
             {"odd.json", R"({"registers": {"01": "E3", "06": "FF", "09": "80", "0A": "2D"}})"},
             {"bom.json", "\xEF\xBB\xBF" R"({"values": {"upper": 2100}})"},
             {"utf16.json", std::string("\xFF\xFE{\0}\0", 6)},
             {"twice.json", R"({"registers": {"09": "80", "0A": "0E", "0a": "0F"}})"}})
        std::ofstream(File(name), std::ios::binary) << text;
    // The servo's record with bits set that no value names.
    auto odd = services.sim.ServoRegisters();
    odd[1] = 0xE3, odd[6] = 0xFF, odd[10] = 0x2D;
    std::ofstream(File("odd.svo"), std::ios::binary).write(reinterpret_cast<const char*>(odd.data()), 16);
    std::vector<std::string> arguments{"diff"};
    for (const std::string& word : GetParam().arguments)
        arguments.push_back(word[0] == '@' ? File(word.c_str() + 1) : word);
    services.input.str("{\"values\": {\"lock\": \"Y\"}}");
    EXPECT_EQ(Run(arguments), GetParam().exitCode) << err.str();
    const std::string said = GetParam().exitCode <= kExitDifferent ? out.str() : err.str();
    EXPECT_NE(said.find(GetParam().says), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Cli, DiffTest, ::testing::Values(
    DiffCase{"ServoAgainstItsFile", {"servo", "@a.svo"}, kExitOk, "no differences"},
    DiffCase{"TypedValueAsStored", {"@a.svo", "@typed.json"}, kExitOk, "no differences"},
    DiffCase{"OtherValue", {"@a.svo", "@other.json"}, kExitDifferent, "upper: 1997 -> 2099\nregisters: 08 9C -> A4\n"},
    DiffCase{"Json", {"@other.json", "servo", "--json"}, kExitDifferent,
             R"({"equal":false,"registers":{"08":{"from":"A4","to":"9C"}},"settings":{"upper":{"from":2099,"to":1997}}})"},
    DiffCase{"StandardInput", {"-", "servo"}, kExitOk, "no differences"},
    DiffCase{"BothStandardInput", {"-", "-"}, kExitBadArguments, "one of the two sides only"},
    DiffCase{"NotANumber", {"@a.svo", "@bad.json"}, kExitBadArguments, "upper=x is not a whole number"},
    DiffCase{"NothingInCommon", {"servo", "@signal.json"}, kExitBadArguments, "no setting in common"},
    DiffCase{"RegisterWithASign", {"servo", "@sign.json"}, kExitBadArguments, "register 01 is \"-1\", not two hex digits"},
    DiffCase{"ValuesOnTopOfTheOtherSide", {"@values.json", "@odd.svo"}, kExitOk, "no differences"},
    DiffCase{"ValuesOnTopOfOtherJson", {"@odd.json", "@values.json"}, kExitOk, "no differences"},
    DiffCase{"DeepNest", {"@deep.json", "servo"}, kExitBadArguments, "it is not JSON of the form"},
    DiffCase{"ByteOrderMark", {"@a.svo", "@bom.json"}, kExitDifferent, "upper: 1997 -> 2099\n"},
    DiffCase{"Utf16", {"@utf16.json", "servo"}, kExitBadArguments, "it is not JSON of the form"},
    DiffCase{"RegisterInTwoCases", {"@twice.json", "servo"}, kExitBadArguments, "register 0a stands twice"},
    DiffCase{"ShortFile", {"@short.svo", "@a.svo"}, kExitFileError, "it holds fewer than 16 bytes"},
    DiffCase{"MissingFile", {"@none.svo", "servo"}, kExitFileError, "does not exist"}),
    [](const auto& row) { return std::string(row.param.name); });

// An init's undo puts the whole block back when the history knows it and
// the user says it is the same servo, and otherwise only the settings,
// saying what stays.
TEST_F(CliTest, UndoOfAnInitPutsBackTheBlockItKnows)
{
    ASSERT_EQ(Run({"init", "--set", "signal=1520", "--set", "lock=N"}), kExitOk) << err.str();
    const auto first = services.sim.ServoRegisters();
    ASSERT_EQ(Run({"init", "--set", "signal=1480", "--set", "neutral=1600"}), kExitOk) << err.str();
    ASSERT_EQ(Run({"undo", "--dry-run"}), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "dry run, nothing was sent; undo would change:\nneutral: 1600 -> 1500\n"
                         "registers: 09 00 -> 80, 0A 10 -> 0D\n") << out.str();
    EXPECT_NE(err.str().find("give --same-servo to put back the whole block"), std::string::npos) << err.str();
    ASSERT_EQ(Run({"undo", "--verify", "--same-servo"}), kExitOk) << err.str();
    EXPECT_EQ(services.sim.ServoRegisters(), first);
    std::filesystem::remove(services.history);
    ASSERT_EQ(Run({"init", "--set", "signal=1700", "--set", "lock=Y"}), kExitOk) << err.str();
    ASSERT_EQ(Run({"undo"}), kExitOk) << err.str();
    EXPECT_NE(err.str().find("the neutral signal held before #1"), std::string::npos) << err.str();
    EXPECT_EQ(Register(6) & 1, 0);
    EXPECT_EQ((Register(14) << 8) | Register(15), 1700);
    ASSERT_EQ(Run({"history", "--count", "2"}), kExitOk);
    EXPECT_NE(out.str().find("#1  2026-12-08T10:00:00Z  undo  (written)\n    lock: Y -> N\n"), std::string::npos) << out.str();
}

// A dry run makes no folder, lock, history, backup or log, and refuses a
// backup's link that leads nowhere, as the real run would, leaving it be.
TEST_F(CliTest, DryRunLeavesNothingBehind)
{
    services.history = std::filesystem::path(File("fresh")) / "state" / "history.jsonl";
    std::vector<std::string> backup{"--backup", File("b.svo")};
#ifndef _WIN32
    std::filesystem::create_symlink(File("nowhere.svo"), File("l.svo"));
    EXPECT_EQ(Run({"write", "--set", "upper=2100", "--backup", File("l.svo"), "--dry-run"}), kExitFileError);
    EXPECT_NE(err.str().find("nowhere.svo\", which does not exist"), std::string::npos) << err.str();
#endif
    ASSERT_EQ(Run({"write", "--set", "upper=2100", backup[0], backup[1], "--dry-run"}), kExitOk) << err.str();
    ASSERT_EQ(Run({"init", "--set", "signal=1500", "--dry-run"}), kExitOk) << err.str();
    ASSERT_EQ(Run({"batch", "--set", "upper=2100", "--log", File("l.jsonl"), "--dry-run"}), kExitOk) << err.str();
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(File("."))))
        left.push_back(entry.path().filename().string());
#ifndef _WIN32
    EXPECT_EQ(left, std::vector<std::string>{"l.svo"});
    EXPECT_TRUE(std::filesystem::is_symlink(File("l.svo")));
#else
    EXPECT_TRUE(left.empty());
#endif
}

// A file name in another encoding than UTF-8 is kept in the history, its
// stray bytes shown as U+FFFD, after the write it named went out; an
// edited line's control characters are shown escaped, never carried out.
TEST_F(CliTest, HistoryTextIsKeptAndShownSafely)
{
    ASSERT_EQ(Run({"write", "--set", "upper=2100", "--backup", File("b\xE9.svo")}), kExitOk) << err.str();
    std::vector<HistoryEntry> entries;
    int skipped = 0;
    ASSERT_EQ(ReadHistory(services.history, entries, skipped), std::nullopt);
    ASSERT_EQ(entries.size(), 1u);
#ifndef _WIN32  // Windows hands arguments over as UTF-16, so they come as UTF-8 from its code page
    EXPECT_NE(entries[0].arguments.back().find("b\xEF\xBF\xBD.svo"), std::string::npos) << entries[0].arguments.back();
#endif
    // A command line longer than any line a reader takes is kept cut.
    ASSERT_EQ(Run({"write", "--set", "upper=" + std::string(300'000, '0') + "2100"}), kExitOk) << err.str();
    ASSERT_EQ(Run({"history", "--count", "1"}), kExitOk) << err.str();
    EXPECT_NE(out.str().find("#1  2026-12-08T10:00:00Z  write --set upper=0000"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("000...  (written)"), std::string::npos) << out.str().substr(0, 200);
    entries[0].time = "\x1B[2K\nforged\xC2\x9B\xE2\x80\xAE";
    ASSERT_EQ(AppendHistory(services.history, entries[0]).failed, std::nullopt);
    ASSERT_EQ(Run({"history"}), kExitOk);
    EXPECT_NE(out.str().find("#1  \\x1B[2K\\x0Aforged\\xC2\\x9B\\xE2\\x80\\xAE  write"), std::string::npos) << out.str();
}

// The history file: appends from several programs at once never mix, a
// line a crash left torn spoils no other, and the oldest lines go past the
// limit.
TEST(HistoryFileTest, AppendsWholeLinesAndDropsTheOldest)
{
    rvz::test::TempDir temp{"rvz-history-"};
    const std::filesystem::path file = temp.path() / "state" / "history.jsonl";
    HistoryEntry entry;
    entry.command = "write";
    entry.before = ReadFromServo(TServoConfig{});
    entry.written = entry.before;
    std::vector<HistoryEntry> entries;
    int skipped = 0;
    // A folder, or a file where its folder should be, is no history.
    std::filesystem::create_directories(file);
    EXPECT_NE(CheckHistory(file), std::nullopt);
    EXPECT_NE(ReadHistory(file, entries, skipped), std::nullopt);
    std::filesystem::remove(file);
    std::ofstream(file) << "";
    EXPECT_NE(CheckHistory(file / "below"), std::nullopt);
    EXPECT_NE(ReadHistory(file / "deeper" / "below", entries, skipped), std::nullopt);
    std::filesystem::remove(file);
    ASSERT_EQ(CheckHistory(file), std::nullopt);
    // A line that a crash left torn, and one whose register carries a sign.
    std::string signed_ = EntryJson(entry).dump();
    signed_.replace(signed_.find("\"01\":\"00\""), 9, "\"01\":\"-1\"");
    std::ofstream(file, std::ios::binary) << signed_ << "\n{\"time\": \"torn";
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 4; ++writer)
        writers.emplace_back([&, writer] {
            for (int i = 0; i < 25; ++i) {
                HistoryEntry mine = entry;
                mine.time = std::to_string(writer * 100 + i);
                EXPECT_EQ(AppendHistory(file, mine).failed, std::nullopt);
            }
        });
    for (std::thread& writer : writers)
        writer.join();
    ASSERT_EQ(ReadHistory(file, entries, skipped), std::nullopt);
    EXPECT_EQ(entries.size(), 100u);
    EXPECT_EQ(skipped, 2);

    const std::uintmax_t limit = 20 * EntryJson(entry).dump().size();
    for (int i = 0; i < 60; ++i) {
        entry.time = "late " + std::to_string(i);
        const Appended appended = AppendHistory(file, entry, limit);
        ASSERT_EQ(appended.failed, std::nullopt);
        ASSERT_EQ(appended.notTrimmed, std::nullopt);
        ASSERT_LE(std::filesystem::file_size(file), limit);
    }
    entries.clear();
    ASSERT_EQ(ReadHistory(file, entries, skipped), std::nullopt);
    EXPECT_GE(entries.size(), 14u);
    EXPECT_EQ(entries.back().time, "late 59");
    EXPECT_EQ(entries.front().time, "late " + std::to_string(60 - entries.size()));
}

// A program killed during its send leaves its line written ahead, which
// history shows as unfinished and undo acts on: whichever registers the
// write reached, it puts back what the servo held before.
TEST_F(CliTest, AWriteKilledDuringItsSendIsOnRecordAsUnfinished)
{
    // Identify, probe, six reads; then two commands a register: killed as the neutral position's second goes out.
    services.killable.killAtCommand = 19;
    ASSERT_EQ(Run({"write", "--set", "lower=900", "--set", "neutral=1520"}), kKilled);
    EXPECT_EQ(Register(7), 70) << "lower, as asked";
    EXPECT_EQ(Register(9), 0x00) << "the neutral position torn: its first register new";
    EXPECT_EQ(Register(10), 0x0D) << "and its second old";
    ASSERT_EQ(Run({"history"}), kExitOk) << err.str();
    EXPECT_NE(out.str().find("write --set lower=900 --set neutral=1520  (unfinished: its outcome is not on record (the "
                             "program ended during the send, could not add it, or is still sending), so the servo may "
                             "hold the old or the new value of each setting)"),
              std::string::npos) << out.str();
    ASSERT_EQ(Run({"undo", "--verify"}), kExitOk) << err.str();
    EXPECT_EQ(services.sim.ServoRegisters(), SimulatedAdapter::kFactoryRegisters);
    // A servo that holds neither what it held nor what was sent is not what that write left.
    services.killable.killAtCommand = 19;
    ASSERT_EQ(Run({"write", "--set", "lower=900", "--set", "neutral=1520"}), kKilled);
    ASSERT_EQ(Run({"write", "--set", "upper=2100"}), kExitOk) << err.str();
    EXPECT_EQ(Run({"undo", "2"}), kExitNotAsLeft) << err.str();
}

// With a history that cannot take the line written ahead, nothing is sent
// and a dry run ends as the real run does; one that can be read is read.
TEST_F(CliTest, NothingIsSentWithoutTheHistorysLine)
{
    ASSERT_EQ(Run({"write", "--set", "upper=2100"}), kExitOk) << err.str();
    const std::size_t reads = 8;  // identify, probe and six reads
    const auto tryWrite = [&](const char* says) {
        for (const bool dry : {false, true}) {
            const std::size_t before = services.sim.CommandCount();
            std::vector<std::string> write{"write", "--set", "upper=2200"};
            if (dry)
                write.push_back("--dry-run");
            EXPECT_EQ(Run(write), kExitFileError) << (dry ? "dry run: " : "") << err.str();
            EXPECT_NE(err.str().find(says), std::string::npos) << err.str();
            EXPECT_EQ(services.sim.CommandCount() - before, reads) << "nothing sent";
        }
        EXPECT_EQ(Register(8), 0xA4) << "upper as the first write left it";
    };
    {
        std::string why;
        const auto held = TakeHistoryLock(services.history.string() + ".lock", why);
        ASSERT_TRUE(held) << why;
        tryWrite("its lock cannot be taken (another program holds it)");
    }
#ifndef _WIN32
    std::filesystem::rename(services.history, File("kept.jsonl"));
    std::filesystem::create_symlink("gone/history.jsonl", services.history);
    tryWrite("is a link to \"gone/history.jsonl\", which does not exist");
    EXPECT_EQ(Run({"history"}), kExitFileError);
    std::filesystem::remove(services.history);
    // No history yet, and a lock's file that cannot be one.
    std::filesystem::remove(services.history.string() + ".lock");
    std::filesystem::create_directory(services.history.string() + ".lock");
    tryWrite("its lock cannot be taken");
    std::filesystem::remove(services.history.string() + ".lock");
    std::filesystem::rename(File("kept.jsonl"), services.history);
    // A file-size limit the line would pass (the program ignores SIGXFSZ, and so does this test).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlim_t unlimited = limit.rlim_cur;
    limit.rlim_cur = static_cast<rlim_t>(std::filesystem::file_size(services.history) + 100);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    tryWrite("cannot be written, so nothing was sent");  // the real run meets the limit, the dry run foresees it
    limit.rlim_cur = unlimited;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    if (::geteuid() == 0)
        return;  // a folder is never read-only to root
    // A folder this user may read but not write, with no lock's file in it.
    std::filesystem::remove(services.history.string() + ".lock");
    std::filesystem::permissions(temp.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    tryWrite("its lock cannot be taken");
    EXPECT_EQ(Run({"history"}), kExitOk) << err.str();
    EXPECT_NE(out.str().find("#1"), std::string::npos) << out.str();
    std::filesystem::permissions(temp.path(), std::filesystem::perms::owner_all);
#endif
}

#ifndef _WIN32
// A history that cannot be trimmed (its folder read-only, its file and lock
// still writable) takes every write all the same, and says so once a command.
TEST_F(CliTest, AHistoryThatCannotBeTrimmedSaysSoAndGoesOn)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "a folder is never read-only to root";
    HistoryEntry entry;
    entry.command = "write";
    entry.before = ReadFromServo(TServoConfig{});
    entry.written = entry.before;
    entry.result = "written";
    entry.after = entry.before;
    while (!std::filesystem::exists(services.history) || std::filesystem::file_size(services.history) <= kHistoryLimit)
        ASSERT_EQ(AppendHistory(services.history, entry, UINTMAX_MAX).failed, std::nullopt);
    std::filesystem::permissions(temp.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(Run({"write", "--set", "upper=2100"}), kExitOk) << err.str();
    std::filesystem::permissions(temp.path(), std::filesystem::perms::owner_all);
    const std::string warning = "cannot be trimmed: its trimmed copy";
    const std::size_t first = err.str().find(warning);
    EXPECT_NE(first, std::string::npos) << err.str();
    EXPECT_EQ(err.str().find(warning, first + 1), std::string::npos) << "said once: " << err.str();
    ASSERT_EQ(Run({"history", "--count", "1", "--json"}), kExitOk);
    EXPECT_NE(out.str().find("\"result\":\"written\""), std::string::npos) << out.str();
}
#endif

// Read from its end in pieces, the history gives what reading it whole from
// the start gives: over random histories (entries with and without an id,
// outcomes that come later, never, or say nothing was sent, torn lines,
// blank ones, lines longer than a piece, one longer than any entry), the
// newest k entries are the model's, with their outcomes. Seed printed.
TEST(HistoryFileTest, ReadFromItsEndAsFromItsStart)
{
    const char* given = std::getenv("RVZ_HISTORY_SEED");
    const auto seed = given ? std::strtoull(given, nullptr, 0) : static_cast<std::uint64_t>(std::random_device{}());
    std::printf("seed %llu (RVZ_HISTORY_SEED replays it)\n", static_cast<unsigned long long>(seed));
    std::mt19937_64 random(seed);
    const auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    rvz::test::TempDir temp{"rvz-history-tail-"};
    const std::filesystem::path file = temp.path() / "history.jsonl";
    for (int round = 0; round < 60; ++round) {
        std::string text;
        std::vector<HistoryEntry> model;  // oldest first, as read whole
        std::vector<HistoryEntry> pending;  // written ahead, outcome still to come
        const std::size_t lines = below(40);
        for (std::size_t i = 0; i < lines; ++i) {
            const std::size_t kind = below(10);
            if (kind < 5) {
                HistoryEntry entry;
                entry.time = "t" + std::to_string(i);
                entry.command = "write";
                entry.arguments = {below(8) == 0 ? std::string(below(200'000), 'a') : "x"};
                entry.before = ReadFromServo(TServoConfig{});
                entry.written = entry.before;
                entry.result = below(5) == 0 ? "written" : kUnfinished;
                if (entry.Unfinished())
                    entry.id = NewEntryId();
                text += EntryJson(entry).dump() + "\n";
                model.push_back(entry);
                if (entry.Unfinished())
                    pending.push_back(entry);
            } else if (kind < 8 && !pending.empty()) {
                HistoryEntry done = pending[below(pending.size())];
                done.result = std::vector<std::string>{"written", "failed", "not sent"}[below(3)];
                done.after = done.result == "written" ? std::optional(done.before) : std::nullopt;
                text += nlohmann::json{{"outcome", done.id}, {"after", done.after ? KnownRecordJson(*done.after) : nlohmann::json()},
                                       {"result", done.result}, {"verified", false}}.dump() + "\n";
                for (HistoryEntry& entry : model)
                    if (entry.id == done.id)
                        entry = done;
            } else if (kind == 8) {
                const std::string whole = EntryJson(model.empty() ? HistoryEntry{} : model.back()).dump();
                text += whole.substr(0, below(whole.size())) + (below(2) ? "\n" : "\n\n");
            } else {
                text += below(4) == 0 ? std::string(below(400'000), '{') + "\n" : " \n";
            }
        }
        std::erase_if(model, [](const HistoryEntry& entry) { return entry.result == "not sent"; });
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        const std::size_t newest = below(model.size() + 2);
        std::vector<HistoryEntry> read;
        int skipped = 0;
        ASSERT_EQ(ReadHistory(file, read, skipped, newest), std::nullopt);
        const std::size_t expected = std::min(newest, model.size());
        ASSERT_EQ(read.size(), expected) << "round " << round << " of seed " << seed;
        for (std::size_t i = 0; i < expected; ++i) {
            const HistoryEntry& want = model[model.size() - expected + i];
            EXPECT_EQ(read[i].time, want.time) << "round " << round << " of seed " << seed;
            EXPECT_EQ(read[i].result, want.result) << "round " << round << " of seed " << seed;
            EXPECT_EQ(read[i].after.has_value(), want.after.has_value()) << "round " << round << " of seed " << seed;
            EXPECT_EQ(read[i].arguments, want.arguments) << "round " << round << " of seed " << seed;
        }
    }
}

// Every result that cannot be written is an error, and a file that is not a
// parameter file is not overwritten unless asked.
TEST_F(CliTest, NothingIsLost)
{
    std::ostringstream full;
    full.setstate(std::ios::badbit);
    EXPECT_EQ(RunCli({"read"}, services, full, err), kExitFileError);
    EXPECT_NE(err.str().find("standard output could not be written"), std::string::npos) << err.str();
    EXPECT_EQ(RunCli({"write", "--set", "upper=2100"}, services, full, err), kExitFileError);
    EXPECT_NE(err.str().find("; it was to say: written\n"), std::string::npos) << err.str();
    err.str({});
    EXPECT_EQ(RunCli({"read", "-o", "-"}, services, full, err), kExitFileError);
    EXPECT_EQ(err.str().find("it was to say"), std::string::npos) << "a record's bytes are no message: " << err.str();

    const std::string notes = File("notes.txt");
    { std::ofstream(notes) << std::string(63, 'n'); }
    EXPECT_EQ(Run({"make", "-o", notes}), kExitFileError);
    EXPECT_NE(err.str().find("is not a parameter file (63 bytes, not 16); give --force"), std::string::npos) << err.str();
    EXPECT_EQ(std::filesystem::file_size(notes), 63u);
    EXPECT_EQ(Run({"make", "-o", notes, "--force"}), kExitOk);
    EXPECT_EQ(std::filesystem::file_size(notes), 16u);
    EXPECT_EQ(Run({"--trace", notes, "read"}), kExitFileError);
    EXPECT_NE(err.str().find("is a parameter file (16 bytes); nothing is appended to one"), std::string::npos) << err.str();
    EXPECT_EQ(std::filesystem::file_size(notes), 16u);

    { std::ofstream(notes, std::ios::app) << "tail"; }
    EXPECT_EQ(Run({"show", notes}), kExitOk);
    EXPECT_NE(err.str().find("is 20 bytes long; only its first 16 are a parameter record"), std::string::npos);

#ifndef _WIN32
    // A full device and a pipe nobody reads: refused at once, never written to nor waited on.
    const std::string fifo = File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::vector<std::string>> refused{{"--trace", "/dev/full", "read"},
                                                        {"batch", "--set", "neutral=1500", "--log", "/dev/full"},
                                                        {"--trace", fifo, "read"},
                                                        {"doctor", "--report", fifo}};
    for (const auto& arguments : refused) {
        EXPECT_EQ(Run(arguments), kExitFileError) << arguments[1];
        EXPECT_NE(err.str().find("is not a regular file"), std::string::npos) << err.str();
    }
#endif
}

TEST_F(CliTest, CtrlCStopsACommandBeforeItSendsAnything)
{
    services.pauses = 100;  // Ctrl+C has been pressed
    EXPECT_EQ(Run({"write", "--set", "neutral=1520"}), 130);
    EXPECT_TRUE(services.sim.ReceivedCommands().empty());
}

TEST_F(CliTest, BatchLogsWhatEachServoHeldAndEndsWith130OnCtrlC)
{
    const std::string log = File("bench.jsonl");
    services.onPause = [&] { services.sim.SetServoSilent(services.programmed > 0); };
    EXPECT_EQ(Run({"batch", "--set", "neutral=1520", "--log", log}), 130);
    EXPECT_NE(out.str().find("servo 1: written\ndone: 1, failed: 0\n"), std::string::npos) << out.str();
    std::ifstream lines(log);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const auto entry = nlohmann::json::parse(line);
    EXPECT_EQ(entry["values"]["neutral"], 1520);
    EXPECT_EQ(entry["before"]["values"]["neutral"], 1500);
}


// The help, the man page and the README say what the table of commands and
// the table of exit codes say.
std::string Flattened(const char* path)
{
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), {}), flat;
    for (char c : text)
        if (!(c == '\n' && !flat.empty() && flat.back() == ' '))
            flat += c == '\n' ? ' ' : c;
    return flat;
}

// Pictures the README shows lie in the tree, not only on the machine that
// made them (an ignored file never reaches a clone).
TEST(ReadmeTest, EveryPictureItShowsIsInTheTree)
{
    std::ifstream file(RVZ_README);
    const std::string readme((std::istreambuf_iterator<char>(file)), {});
    const std::filesystem::path tree = std::filesystem::path(RVZ_README).parent_path();
    int pictures = 0;
    for (std::size_t at = readme.find("]("); at != std::string::npos; at = readme.find("](", at + 2)) {
        const std::string target = readme.substr(at + 2, readme.find(')', at) - at - 2);
        if (!target.ends_with(".png"))
            continue;
        ++pictures;
        EXPECT_TRUE(std::filesystem::is_regular_file(tree / target)) << target;
    }
    EXPECT_GE(pictures, 2);
}

TEST_F(CliTest, TheDocumentsFollowTheTables)
{
    const std::string page = Flattened(RVZ_CLI_MAN_PAGE);
    std::ifstream pageFile(RVZ_CLI_MAN_PAGE);
    const std::string pageLines((std::istreambuf_iterator<char>(pageFile)), {});
    const std::string readme = Flattened(RVZ_README);
    EXPECT_NE(page.find(".SH EXIT STATUS " + ExitCodesSentence() + "."), std::string::npos);
    EXPECT_NE(readme.find("Exit codes: " + ExitCodesSentence() + "."), std::string::npos);
    ASSERT_EQ(Run({"help"}), kExitOk);
    EXPECT_NE(out.str().find("Exit codes: " + ExitCodesSentence() + "."), std::string::npos);
    for (const CommandEntry& command : Commands()) {
        EXPECT_NE(page.find(".B " + std::string(command.name)), std::string::npos) << command.name;
        for (std::string option : OptionNames(command.name)) {
            std::string troff;
            for (char c : option)
                troff += c == '-' ? "\\-" : std::string(1, c);
            // In the heading of an entry of its own, not a mention in an example.
            std::istringstream lines(pageLines);
            bool entry = false;
            for (std::string line; std::getline(lines, line) && !entry;)
                entry = line.rfind(".B", 0) == 0 && line.find(troff) != std::string::npos;
            EXPECT_TRUE(entry) << command.name << " " << option;
        }
    }
}

}  // namespace
}  // namespace rvz::cli
