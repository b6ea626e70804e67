// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual adapter launcher's command line: how many adapters, and each
// one's faults. A fault option given plainly applies to every adapter; with
// an adapter number in front ("--late 2:250", "--silent=2") to that one.

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace rvz::test {

inline constexpr int kMaxVirtualAdapters = 8;

struct AdapterFaults {
    int lateMs = 0;
    int lateCommands = 0;
    int jitterMs = 0;
    int splitAt = 0;
    int keptRegister = -1;
    bool silent = false;
    int stallAt = 0;
    int unplugAfter = 0;
    int swapEveryMs = 0;
    bool ignoreControl = false;
    bool kernelDriver = false;

    bool operator==(const AdapterFaults&) const = default;
};

struct LaunchPlan {
    std::vector<AdapterFaults> adapters;  // adapter K, at port 1-K, is adapters[K - 1]
    std::vector<std::string> command;     // empty: the program of this build
};

class LaunchOptions {
public:
    // Adds the options to app, which must outlive this.
    explicit LaunchOptions(CLI::App& app);
    ~LaunchOptions();
    LaunchOptions(const LaunchOptions&) = delete;
    LaunchOptions& operator=(const LaunchOptions&) = delete;

    // Once app has parsed, with the words it left (the program): throws
    // CLI::ValidationError, naming the option and word at fault.
    LaunchPlan Plan(std::vector<std::string> command) const;

private:
    struct Given;
    int m_adapters = 1;
    std::vector<Given> m_given;
};

}  // namespace rvz::test
