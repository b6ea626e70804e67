// The command line over the simulated adapter: each command's output, exit
// code and effect on the servo, as a script would see them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "Cli.h"
#include "ExitCodes.h"
#include "SimulatedAdapter.h"
#include "TempDir.h"

namespace rvz::cli {
namespace {

class TestServices final : public CliServices {
public:
    SimulatedAdapter sim{true};
    std::function<void()> onPause;  // what happens at the bench while the batch waits
    int pauses = 0;
    int programmed = 0;

    UsbBridge& Bridge(bool) override { return sim; }
    UsbHost* Usb(bool) override { return nullptr; }
    void Pause(std::chrono::milliseconds) override
    {
        if (onPause)
            onPause();
        ++pauses;
    }
    bool Interrupted() override { return pauses > 50; }  // a batch that never ends is stopped
    void ServoProgrammed() override { ++programmed; }
    std::string Now() override { return "2026-12-08T10:00:00Z"; }
};

class CliTest : public ::testing::Test {
protected:
    int Run(std::vector<std::string> arguments)
    {
        out.str({});
        err.str({});
        return RunCli(arguments, services, out, err);
    }
    std::uint8_t Register(int i) const { return services.sim.ServoRegisters()[static_cast<std::size_t>(i)]; }
    std::string File(const char* name) const { return (temp.path() / name).string(); }

    TestServices services;
    std::ostringstream out;
    std::ostringstream err;
    test::TempDir temp{"rvz-cli-"};
};

TEST_F(CliTest, ReadPrintsTheWindowsValuesAndRegisters)
{
    ASSERT_EQ(Run({"--demo", "read", "--json"}), kExitOk) << err.str();
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["values"]["deadBand"], "6");
    EXPECT_EQ(json["values"]["pulseUpper"], 1997);
    EXPECT_EQ(json["values"]["pulseLower"], 998);
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
        AdapterCase{"DetectWithoutServo", [](SimulatedAdapter& s) { s.SetServoSilent(true); }, {"detect"}, kExitNoServo,
                    "no servo answers"},
        AdapterCase{"DetectsAll", [](SimulatedAdapter&) {}, {"detect"}, kExitOk, "a servo answers"},
        AdapterCase{"SilentServoFailsTheRead", [](SimulatedAdapter& s) { s.SetServoSilent(true); }, {"read"},
                    kExitFailed, "the read failed after 3 attempts: no reply came back in time"},
        AdapterCase{"UnknownSetting", [](SimulatedAdapter&) {}, {"write", "--set", "speed=3"}, kExitBadArguments,
                    "cannot apply \"speed=3\""},
        AdapterCase{"MissingFile", [](SimulatedAdapter&) {}, {"show", "no-such-folder/such.svo"}, kExitFileError,
                    "does not exist"}),
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
}

// Values the window would take silently: the command line says so.
TEST_F(CliTest, WarnsOfDefaultsWrapsAndMovedLimits)
{
    const std::pair<std::vector<std::string>, const char*> rows[] = {
        {{"--set", "neutral=x"}, "neutral \"x\" is not a number: the field's default 1500 is used"},
        {{"--set", "neutral=2240", "--set", "upper=2300"}, "neutral 2240 is beyond what its register holds and wraps: "
                                                           "the servo will read back 960"},
        {{"--set", "lower=1600"}, "lower limit lies above the neutral position"},
        {{"--set", "signal=70000"}, "signal 70000 is beyond 16 bits"},
    };
    for (const auto& [settings, warning] : rows) {
        std::vector<std::string> command{"make", "-o", File("w.svo")};
        command.insert(command.end(), settings.begin(), settings.end());
        EXPECT_EQ(Run(command), kExitOk);
        EXPECT_NE(err.str().find(warning), std::string::npos) << err.str();
    }
    EXPECT_EQ(Run({"make", "-o", File("w.svo"), "--set", "neutral=2239", "--set", "upper=2300"}), kExitOk);
    EXPECT_TRUE(err.str().empty()) << err.str();
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
    // The bench: a programmed servo is pulled out at the next pause, and the
    // next one plugged in at the pause after; the second keeps register 9.
    bool unplugged = false;
    services.onPause = [&] {
        if (services.programmed > 0 && !unplugged && !services.sim.IsPluggedIn())
            return;
        if (!unplugged && services.programmed > 0) {
            services.sim.SetServoSilent(true);
            unplugged = true;
        } else if (unplugged) {
            services.sim.ReplaceServo();
            if (services.programmed == 1)
                services.sim.KeepOldValueOf(9);
            unplugged = false;
        }
    };
    const std::string log = File("bench.jsonl");
    EXPECT_EQ(Run({"batch", "--set", "neutral=1520", "--verify", "--count", "3", "--log", log}), kExitFailed);
    EXPECT_EQ(out.str().substr(0, 30), "servo 1: written and verified\n");
    EXPECT_NE(out.str().find("servo 2: failed (the servo kept other values (register 09"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("servo 3: written and verified\ndone: 2, failed: 1\n"), std::string::npos) << out.str();
    EXPECT_EQ(services.programmed, 3);

    std::ifstream lines(log);
    std::vector<nlohmann::json> entries;
    for (std::string line; std::getline(lines, line);)
        entries.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1]["result"], "failed");
    EXPECT_EQ(entries[2]["servo"], 3);
    EXPECT_EQ(entries[0]["values"]["neutral"], 1520);
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
    EXPECT_NE(err.str().find("run 'rivivev-uvezi-cli read --help' for usage"), std::string::npos) << err.str();
    EXPECT_EQ(Run({"write"}), kExitBadArguments);
}

}  // namespace
}  // namespace rvz::cli
