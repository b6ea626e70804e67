// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's promises on the paths users take, one row a path: the
// batch with and without a log, a signal in the middle of a write, limits
// judged as stored, backups that must not destroy their input, empty paths,
// the JSON a person edits, and the exact way back after a write torn apart.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "CliFixture.h"

namespace rvz::cli {
namespace {

using Registers = SimulatedAdapter::Registers;

class Promises : public test::CliFixture {
public:
    void Write(const char* name, const std::string& text) { std::ofstream(File(name), std::ios::binary) << text; }
    std::string Read(const char* name)
    {
        std::ifstream in(File(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The arguments, with {NAME} standing for the file NAME in the test's folder.
    std::vector<std::string> Expand(std::vector<std::string> arguments)
    {
        for (std::string& argument : arguments)
            if (argument.size() > 2 && argument.front() == '{' && argument.back() == '}')
                argument = File(argument.substr(1, argument.size() - 2).c_str());
        return arguments;
    }
    // A servo holding lock N, lower 896, dead band 3: values of its own.
    void OwnValues()
    {
        Registers registers = SimulatedAdapter::kFactoryRegisters;
        registers[1] = 0x32;  // dead band 3 us
        registers[6] = 0x00;  // lock N
        registers[7] = 0x46;  // lower 896 us
        services.sim.SetServoRegisters(registers);
    }
};

struct Path {
    const char* name;
    std::function<void(Promises&)> arrange;
    std::vector<std::string> arguments;
    int exitCode;
    const char* says;  // somewhere in what it printed, standard output or error
    std::function<void(Promises&)> check;
};

class PathTest : public Promises, public ::testing::WithParamInterface<Path> {};

TEST_P(PathTest, KeepsItsPromise)
{
    const Path& path = GetParam();
    if (path.arrange)
        path.arrange(*this);
    const int code = Run(Expand(path.arguments));
    const std::string said = out.str() + err.str();
    EXPECT_EQ(code, path.exitCode) << said;
    EXPECT_NE(said.find(path.says), std::string::npos) << said;
    if (path.check)
        path.check(*this);
}

const Registers kFactory = SimulatedAdapter::kFactoryRegisters;

INSTANTIATE_TEST_SUITE_P(Cli, PathTest, ::testing::Values(
    Path{"BatchWithoutALog", [](Promises& p) { p.UseBench(); }, {"batch", "--set", "neutral=1520", "--count", "3"},
         kExitOk, "servo 3: written\ndone: 3, failed: 0\n",
         [](Promises& p) { EXPECT_EQ(p.replaced, 2) << "each servo went with its adapter"; }},
    Path{"BatchJsonKeepsWhatItDoesNotName",
         [](Promises& p) {
             p.OwnValues();
             p.Write("p.json", R"({"values": {"neutral": 1520}})");
         },
         {"batch", "--json", "{p.json}", "--count", "1"}, kExitOk, "servo 1: written\n",
         [](Promises& p) {
             EXPECT_EQ(p.Register(1), 0x32);
             EXPECT_EQ(p.Register(6), 0x00);
             EXPECT_EQ(p.Register(7), 0x46);
             EXPECT_EQ(p.Register(9), 0x00);  // 1520 us
             EXPECT_EQ(p.services.programmed, 0) << "the last servo is not waited on to go";
         }},
    // Identify, probe, six reads; then the write's twelve: a signal in its middle.
    Path{"CtrlCInTheMiddleOfAWrite", [](Promises& p) { p.services.signalAtCommand = 12; },
         {"write", "--set", "neutral=1520", "--set", "lock=N", "--set", "lower=900"}, kExitInterrupted,
         "written; then stopped by Ctrl+C, with the servo holding what was asked",
         [](Promises& p) {
             EXPECT_EQ(p.Register(9), 0x00);
             EXPECT_EQ(p.Register(10), 0x0E);
             EXPECT_EQ(p.Register(6), 0x00);
             EXPECT_EQ(p.Register(7), 70);
         }},
    // The signal comes as the last read ends, before anything is sent.
    Path{"CtrlCBeforeTheWrite", [](Promises& p) { p.services.signalAtCommand = 8; },
         {"write", "--set", "neutral=1520"}, kExitInterrupted, "stopped by Ctrl+C before anything was sent",
         [](Promises& p) {
             EXPECT_EQ(p.Register(9), 0x80);
             EXPECT_EQ(p.services.sim.CommandCount(), 8u);
             std::error_code missing;
             const auto size = std::filesystem::file_size(p.services.history, missing);
             EXPECT_TRUE(missing || size == 0) << "no write to record";
         }},
    Path{"SigtermInTheMiddleOfAWrite",
         [](Promises& p) {
             p.services.signalAtCommand = 14;
             p.services.signalThen = 15;
         },
         {"write", "--set", "neutral=1520", "--verify"}, kExitTerminated, "stopped by SIGTERM",
         [](Promises& p) { EXPECT_EQ(p.Register(10), 0x0E); }},
    Path{"SighupInTheMiddleOfABlock",
         [](Promises& p) {
             p.services.signalAtCommand = 9;
             p.services.signalThen = 1;
         },
         {"init", "--set", "signal=1400"}, kExitHangUp, "parameter block sent; then stopped by SIGHUP",
         [](Promises& p) { EXPECT_EQ(p.Register(15), 0x78); }},
    Path{"TheLogComesBeforeStandardOutput",
         [](Promises& p) { p.out.setstate(std::ios::badbit); },
         {"batch", "--set", "neutral=1520", "--count", "1", "--log", "{w.jsonl}"}, kExitFileError,
         "standard output could not be written",
         [](Promises& p) { EXPECT_NE(p.Read("w.jsonl").find("\"result\":\"written\""), std::string::npos); }},
    Path{"ABackupNeverOverwritesItsInput", [](Promises& p) { p.Write("in.svo", std::string(16, '\x01')); },
         {"write", "{in.svo}", "--backup", "{in.svo}"}, kExitFileError, "is the file being written",
         [](Promises& p) {
             EXPECT_EQ(p.Read("in.svo"), std::string(16, '\x01'));
             EXPECT_EQ(p.services.sim.ServoRegisters(), kFactory);
         }},
    Path{"AnExistingBackupIsKept", [](Promises& p) { p.Write("old.svo", "notes"); },
         {"write", "--set", "neutral=1520", "--backup", "{old.svo}"}, kExitFileError,
         "exists; give another name, or --force to replace it",
         [](Promises& p) { EXPECT_EQ(p.Read("old.svo"), "notes"); }},
    Path{"ForceReplacesTheBackup", [](Promises& p) { p.Write("old.svo", "notes"); },
         {"write", "--set", "neutral=1520", "--backup", "{old.svo}", "--force"}, kExitOk, "written",
         [](Promises& p) { EXPECT_EQ(p.Read("old.svo").size(), 16u); }},
    Path{"EmptyBackup", {}, {"write", "--set", "neutral=1520", "--backup", ""}, kExitBadArguments,
         "--backup needs the name of a file", [](Promises& p) { EXPECT_EQ(p.services.sim.CommandCount(), 0u); }},
    Path{"EmptyOutput", {}, {"make", "-o", ""}, kExitBadArguments, "-o needs a file name", {}},
    Path{"EmptyReport", {}, {"doctor", "--report", ""}, kExitBadArguments, "--report needs a file name", {}},
    Path{"EmptyLog", {}, {"batch", "--set", "neutral=1520", "--log", ""}, kExitBadArguments, "--log needs the name of a file",
         {}},
    Path{"AFailedSaveLeavesNothing", {}, {"make", "-o", "{missing/x.svo}"}, kExitFileError, "x.svo",
         [](Promises& p) { EXPECT_TRUE(std::filesystem::is_empty(p.temp.path())); }},
    Path{"AWholeNumberWithAFraction", [](Promises& p) { p.Write("n.json", R"({"values": {"neutral": 1520.0}})"); },
         {"write", "--json", "{n.json}"}, kExitOk, "written", [](Promises& p) { EXPECT_EQ(p.Register(10), 0x0E); }},
    Path{"AKeyTwice", [](Promises& p) { p.Write("t.json", R"({"values": {"neutral": 1520, "neutral": 1500}})"); },
         {"write", "--json", "{t.json}"}, kExitBadArguments, "\"neutral\" stands twice", {}},
    Path{"TheSignalToWrite", [](Promises& p) { p.Write("s.json", R"({"values": {"signal": 1400}})"); },
         {"write", "--json", "{s.json}"}, kExitBadArguments, "only init sends the neutral signal", {}},
    Path{"EditedRegisters",
         [](Promises& p) {
             p.Write("r.json", R"({"values": {"neutral": 1500}, "registers": {"09": "00", "0A": "0E"}})");
         },
         {"write", "--json", "{r.json}"}, kExitBadArguments,
         "values.neutral is 1500 but its registers hold 1520; remove \"registers\"", {}},
    Path{"RegistersAloneAreSentAsThey are",
         [](Promises& p) { p.Write("r.json", R"({"values": {}, "registers": {"09": "01", "0A": "0E"}})"); },
         {"write", "--json", "{r.json}"}, kExitOk, "written", [](Promises& p) { EXPECT_EQ(p.Register(9), 0x01); }},
    Path{"RegistersWithoutValues", [](Promises& p) { p.Write("o.json", R"({"registers": {"07": "AF", "09": "FF", "0A": "1F"}})"); },
         {"write", "--json", "{o.json}"}, kExitOk, "written", [](Promises& p) { EXPECT_EQ(p.Register(7), 0xAF); }},
    Path{"AnEmptyValueAfterEquals", {}, {"write", "--set", "lock=N", "--backup=", "--verify"}, kExitBadArguments,
         "an option needs a value after '='", {}},
    Path{"AShortOptionWithEquals", {}, {"make", "--set", "lock=N", "-o=x.svo"}, kExitBadArguments,
         "write a short option and its value apart", {}},
    Path{"ALogToStandardOutput", {}, {"batch", "--set", "lock=N", "--log", "-"}, kExitBadArguments,
         "--log needs the name of a file", {}},
    Path{"BatchRefusesAValueBeforeTheFirstServo", {}, {"batch", "--set", "lower=abc", "--count", "2"},
         kExitBadArguments, "lower=abc is not a whole number of microseconds",
         [](Promises& p) { EXPECT_EQ(p.services.sim.CommandCount(), 0u); }},
    // Against the servo it is judged with: its neutral position 1500.
    Path{"BatchRefusesAValueAgainstOneServo", {}, {"batch", "--set", "lower=1600", "--count", "1"}, kExitBadArguments,
         "servo 1: failed (lower=1600 would be stored as 1600, above the neutral position 1500; nothing was sent",
         [](Promises& p) {
             const std::string said = p.out.str() + p.err.str();
             EXPECT_EQ(said.find("nothing was sent"), said.rfind("nothing was sent")) << "said once: " << said;
             EXPECT_EQ(p.services.sim.ServoRegisters(), kFactory);
         }},
    Path{"ReadToStandardOutputTwice", {}, {"read", "-o", "-", "--json"}, kExitBadArguments,
         "-o - and --json both write to standard output", {}},
    Path{"ASilentServo", [](Promises& p) { p.services.sim.SetServoSilent(true); }, {"read"}, kExitNoServo,
         "no servo answers after 3 attempts", {}},
    Path{"AWriteTornByAnUnplug", [](Promises& p) { p.services.sim.UnplugAtCommand(18); },
         {"write", "--set", "neutral=1520", "--set", "lower=900"}, kExitFailed,
         "the servo may now hold the new or the old value of each of lower, neutral, or a neutral position with "
         "only one of its two registers written; put back what it held with: echo '{\"registers\":{\"01\":\"23\","
         "\"06\":\"01\",\"07\":\"4E\",\"08\":\"9C\",\"09\":\"80\",\"0A\":\"0D\"}}' | rivivev-uvezi-cli write --json -",
         {}},
    Path{"AWriteTornWithABackup", [](Promises& p) { p.services.sim.UnplugAtCommand(18); },
         {"write", "--set", "neutral=1520", "--backup", "{b.svo}"}, kExitFailed, "rivivev-uvezi-cli write '", {}}),
    [](const auto& row) {
        std::string name = row.param.name;
        std::erase(name, ' ');
        return name;
    });

// A backup the tool wrote is always taken back by 'write FILE', strict or
// not, and puts the servo back byte for byte, whatever odd values it held.
TEST_F(Promises, ABackupAlwaysRestoresTheServoExactly)
{
    Registers odd = SimulatedAdapter::kFactoryRegisters;
    odd[1] = 0xC5;                // bits beyond the dead band's six
    odd[7] = 0xB0;                // lower 2253 us, above the neutral position
    odd[9] = 0xFE, odd[10] = 0xFF;  // neutral code 8190 with its top bits set
    services.sim.SetServoRegisters(odd);
    ASSERT_EQ(Run({"write", "--set", "lock=N", "--backup", File("b.svo")}), kExitOk) << err.str();
    EXPECT_EQ(Register(6), 0x00);
    for (int reg : {1, 7, 8, 9, 10})
        EXPECT_EQ(Register(reg), odd[static_cast<std::size_t>(reg)]) << "register " << reg << " was not asked";
    ASSERT_EQ(Run({"write", File("b.svo"), "--verify"}), kExitOk) << err.str();
    EXPECT_EQ(services.sim.ServoRegisters(), odd);
}

}  // namespace
}  // namespace rvz::cli
