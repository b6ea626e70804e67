// SPDX-License-Identifier: GPL-3.0-or-later
#include "LaunchOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <climits>
#include <string_view>

namespace rvz::test {

// One fault option and the words given to it: "[K:]VALUE" each for a value,
// and for a flag "true" (CLI11's word for it given bare) or "K".
struct LaunchOptions::Given {
    const char* name = nullptr;
    const char* unit = nullptr;  // what the value is, "MS"; nullptr for a flag
    const char* description = nullptr;
    int least = 0;
    int most = 0;
    int AdapterFaults::*value = nullptr;
    bool AdapterFaults::*flag = nullptr;
    std::vector<std::string> words{};
};

namespace {

constexpr int kDay = 24 * 60 * 60 * 1000;

bool ReadNumber(std::string_view text, int& number)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    return !text.empty() && error == std::errc() && stop == end;
}

}  // namespace

LaunchOptions::LaunchOptions(CLI::App& app)
{
    const auto value = [](const char* name, const char* unit, const char* description, int least, int most,
                          int AdapterFaults::*field) {
        return Given{.name = name, .unit = unit, .description = description, .least = least, .most = most,
                     .value = field};
    };
    const auto flag = [](const char* name, const char* description, bool AdapterFaults::*field) {
        return Given{.name = name, .description = description, .flag = field};
    };
    m_given = {
        value("--late", "MS", "every reply of the servo arrives MS milliseconds after its command", 0, 10000,
              &AdapterFaults::lateMs),
        value("--late-commands", "N",
              "only the first N commands (the identification counts) are answered late; the rest in time", 1,
              INT_MAX, &AdapterFaults::lateCommands),
        value("--jitter", "MS", "... plus up to MS milliseconds more, at random", 0, 10000, &AdapterFaults::jitterMs),
        value("--split", "N", "every reply comes cut in two USB packets, the first with N bytes, the rest 3 ms later",
              1, 64, &AdapterFaults::splitAt),
        value("--keep-old", "REG",
              "the servo acknowledges writes to register REG (1 to 15) but keeps its old value, so a write with "
              "--verify ends with exit code 7",
              1, 15, &AdapterFaults::keptRegister),
        value("--stall", "N", "the N-th command loses its reply and the IN endpoint halts", 1, INT_MAX,
              &AdapterFaults::stallAt),
        value("--unplug-after", "N", "the adapter is pulled out after N commands, and stays out", 1, INT_MAX,
              &AdapterFaults::unplugAfter),
        value("--swap-every", "MS",
              "every MS milliseconds the adapter is pulled out and put back at its port, with a new address and a "
              "fresh servo (factory registers), as a bench user swaps servos; it waits until no command came for "
              "250 ms (plus the adapter's --late and --jitter), so as not to tear a write, and stays out 600 ms, "
              "two polls of the window's or a batch's; its faults come back with it",
              1, kDay, &AdapterFaults::swapEveryMs),
        flag("--silent", "the servo answers nothing (the adapter still identifies)", &AdapterFaults::silent),
        flag("--ignore-control", "the adapter never answers control requests", &AdapterFaults::ignoreControl),
        flag("--kernel-driver", "a kernel driver (the serial driver) is bound to the adapter's interface",
             &AdapterFaults::kernelDriver),
    };
    app.add_option("--adapters", m_adapters, "N adapters, each with its own servo, adapter K at port 1-K")
        ->check(CLI::Range(1, kMaxVirtualAdapters))
        ->option_text("N");
    // m_given is complete: the words' vectors stay where CLI11 holds them.
    for (Given& given : m_given) {
        if (given.flag) {
            app.add_flag(given.name, given.words, std::string(given.description) + " (=K: adapter K alone)")
                ->option_text("[=K]");
            continue;
        }
        app.add_option(given.name, given.words, given.description)
            ->expected(1)
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->option_text(std::string("[K:]") + given.unit);
    }
}

LaunchOptions::~LaunchOptions() = default;

LaunchPlan LaunchOptions::Plan(std::vector<std::string> command) const
{
    LaunchPlan plan{std::vector<AdapterFaults>(static_cast<std::size_t>(m_adapters)), std::move(command)};
    for (const Given& given : m_given) {
        for (const std::string& word : given.words) {
            const std::string shown = '"' + std::string(given.name) + (given.flag ? "=" : " ") + word + '"';
            bool forOne = false;
            std::string_view adapterText;
            std::string_view valueText = word;
            if (given.flag) {
                forOne = word != "true";
                adapterText = word;
            } else if (const auto colon = word.find(':'); colon != std::string::npos) {
                forOne = true;
                adapterText = valueText.substr(0, colon);
                valueText.remove_prefix(colon + 1);
            }
            int adapter = 0;  // 0: every one
            if (forOne) {
                if (!ReadNumber(adapterText, adapter) || adapter < 1 || adapter > kMaxVirtualAdapters)
                    throw CLI::ValidationError(shown, "the adapter must be a number from 1 to " +
                                                          std::to_string(kMaxVirtualAdapters));
                if (adapter > m_adapters)
                    throw CLI::ValidationError(shown, "there is no adapter " + std::to_string(adapter) +
                                                          " (--adapters " + std::to_string(m_adapters) + ")");
            }
            int value = 0;
            if (!given.flag && (!ReadNumber(valueText, value) || value < given.least || value > given.most))
                throw CLI::ValidationError(shown, std::string(given.unit) + " must be a whole number from " +
                                                      std::to_string(given.least) + " to " +
                                                      std::to_string(given.most));
            for (int k = 1; k <= m_adapters; ++k) {
                if (adapter != 0 && adapter != k)
                    continue;
                AdapterFaults& faults = plan.adapters[static_cast<std::size_t>(k - 1)];
                if (given.flag)
                    faults.*given.flag = true;
                else
                    faults.*given.value = value;
            }
        }
    }
    // "--silent 2" leaves the 2 as the program to run.
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!plan.command.empty() && !plan.command[0].empty() &&
        std::all_of(plan.command[0].begin(), plan.command[0].end(), digit))
        throw CLI::ValidationError(plan.command[0], "is no program to run; a flag takes its adapter after =, as in "
                                                    "--silent=" + plan.command[0]);
    return plan;
}

}  // namespace rvz::test
