// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual adapter launcher's command line: which adapters each fault
// option reaches, what is left for the program, and the words refused.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <functional>

#include "LaunchOptions.h"

namespace rvz::test {
namespace {

struct ParseCase {
    const char* name;
    std::vector<std::string> words;  // after the launcher's own name
    int adapters;
    // Turns every adapter's default faults into the expected ones.
    std::function<void(std::vector<AdapterFaults>&)> faults;
    std::vector<std::string> command;
    const char* error;  // part of the message; nullptr when the words are fine
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

class LaunchOptionsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(LaunchOptionsTest, ParsesAsTheBenchExpects)
{
    const ParseCase& c = GetParam();
    CLI::App app;
    LaunchOptions options(app);
    app.prefix_command();
    std::vector<std::string> words = c.words;
    std::reverse(words.begin(), words.end());  // CLI11 takes them last first
    LaunchPlan plan;
    std::string error;
    try {
        app.parse(words);
        plan = options.Plan(app.remaining());
    } catch (const CLI::ParseError& e) {
        error = e.what();
    }
    if (c.error) {
        EXPECT_NE(error.find(c.error), std::string::npos) << "the error: \"" << error << '"';
        return;
    }
    ASSERT_EQ(error, "");
    std::vector<AdapterFaults> expected(static_cast<std::size_t>(c.adapters));
    if (c.faults)
        c.faults(expected);
    EXPECT_TRUE(plan.adapters == expected);
    EXPECT_EQ(plan.command, c.command);
}

const auto Late = [](std::vector<int> ms) {
    return [ms](std::vector<AdapterFaults>& all) {
        for (std::size_t k = 0; k < ms.size(); ++k)
            all[k].lateMs = ms[k];
    };
};

INSTANTIATE_TEST_SUITE_P(
    VirtualLauncher, LaunchOptionsTest,
    ::testing::Values(
        ParseCase{"OneAdapterByDefault", {}, 1, nullptr, {}, nullptr},
        ParseCase{"PrefixReachesThatAdapterAlone",
                  {"--adapters", "3", "--late", "2:250", "--late=3:100"}, 3, Late({0, 250, 100}), {}, nullptr},
        ParseCase{"ALaterWordOverrulesAnEarlierOne",
                  {"--adapters", "2", "--late", "100", "--late", "2:250"}, 2, Late({100, 250}), {}, nullptr},
        ParseCase{"BareFlagReachesEveryAdapterAndTheProgramKeepsItsWords",
                  {"--adapters", "2", "--silent", "prog", "--silent", "--late", "5"}, 2,
                  [](auto& all) { all[0].silent = all[1].silent = true; }, {"prog", "--silent", "--late", "5"},
                  nullptr},
        ParseCase{"FlagTakesItsAdapterAfterEquals",
                  {"--adapters", "3", "--kernel-driver=3", "--ignore-control", "--silent=1", "--silent=2"}, 3,
                  [](auto& all) {
                      all[0].silent = all[1].silent = all[2].kernelDriver = true;
                      all[0].ignoreControl = all[1].ignoreControl = all[2].ignoreControl = true;
                  },
                  {}, nullptr},
        ParseCase{"EveryValueOptionTakesAnAdapter",
                  {"--adapters", "2", "--swap-every", "1500", "--unplug-after", "2:20", "--stall", "1:3", "--split",
                   "2:5", "--keep-old", "1:8", "--jitter", "2:60", "--late-commands", "1:2"},
                  2,
                  [](auto& all) {
                      all[0].swapEveryMs = all[1].swapEveryMs = 1500;
                      all[1].unplugAfter = 20;
                      all[0].stallAt = 3;
                      all[1].splitAt = 5;
                      all[0].keptRegister = 8;
                      all[1].jitterMs = 60;
                      all[0].lateCommands = 2;
                  },
                  {}, nullptr},
        ParseCase{"AdapterBeyondTheBench", {"--adapters", "2", "--late", "3:250"}, 0, nullptr, {},
                  "\"--late 3:250\": there is no adapter 3 (--adapters 2)"},
        ParseCase{"AdapterZero", {"--ignore-control=0"}, 0, nullptr, {}, "the adapter must be a number from 1 to 8"},
        ParseCase{"FlagAdapterAfterASpaceIsNoProgram", {"--adapters", "2", "--silent", "2", "read"}, 0, nullptr, {},
                  "--silent=2"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace rvz::test
