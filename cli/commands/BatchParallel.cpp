// SPDX-License-Identifier: GPL-3.0-or-later
// batch --parallel: a workshop bench with several adapters. Each adapter
// attached at the start gets a session of its own in a thread of its own,
// over a bridge no other thread uses: a servo put on it is read, written
// (and verified) and logged as soon as it answers, and counted as replaced
// once its adapter has gone and come back, as the one-adapter batch does.
// The lanes share only the servo numbers, the log, standard output and the
// history, each a line at a time; a fault on one adapter stays in its lane.
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "BatchServo.h"
#include "ExitCodes.h"
#include "RecordJson.h"

namespace rvz::cli {

namespace {

// What the lanes share, under one lock.
class Bench {
public:
    Bench(RunContext& run, std::ofstream& log) : m_run(run), m_log(log) {}

    // The next servo's number, or 0 when the count is reached or the batch has stopped.
    int Claim()
    {
        std::lock_guard lock(m_mutex);
        if (m_stop || (m_run.options.count > 0 && m_claimed >= m_run.options.count))
            return 0;
        return ++m_claimed;
    }
    // No servo is left to claim: the count was reached, or the batch stopped.
    bool Over()
    {
        std::lock_guard lock(m_mutex);
        return m_stop || (m_run.options.count > 0 && m_claimed >= m_run.options.count);
    }

    // The log line first, then the line on standard output; false once
    // the batch must stop (the log or the output is lost, or the history
    // cannot take a line).
    bool Record(const std::string& adapter, const ServoResult& result)
    {
        std::lock_guard lock(m_mutex);
        const bool ok = result.code == kExitOk;
        Tally& tally = m_tallies[adapter];
        (ok ? tally.done : tally.failed) += 1;
        if (!ok && m_firstFailure == kExitOk)
            m_firstFailure = result.code;
        if (m_log.is_open()) {
            m_log << JsonText(result.log) << "\n";
            m_log.flush();
            if (!m_log)
                return Stop({kExitFileError, "the log \"" + *m_run.options.log +
                                                 "\" could not be written; the batch stopped after servo " +
                                                 result.log["servo"].dump()});
        }
        if (!m_run.Emit(result.line + "\n"))
            return Stop({kExitFileError, ""});
        if (result.stops)
            return Stop({result.stops->code, result.stops->message + "; the batch stopped at servo " +
                                                 result.log["servo"].dump()});
        return true;
    }

    // A lane that could not go on for a reason of its own.
    void LaneFailed(const std::string& adapter, const Failure& failure)
    {
        std::lock_guard lock(m_mutex);
        m_run.Warn("adapter " + adapter + ": " + failure.message + "; its lane stopped, the others go on");
        m_tallies[adapter];
        if (m_firstFailure == kExitOk)
            m_firstFailure = failure.code;
    }

    // The summary, each adapter's and the whole batch's, and the exit code.
    int Finish(const std::vector<AdapterName>& adapters)
    {
        std::string text;
        int done = 0;
        int failed = 0;
        for (const AdapterName& adapter : adapters) {
            const Tally& tally = m_tallies[adapter.Text()];
            done += tally.done;
            failed += tally.failed;
            text += "adapter " + adapter.Text() + ": done: " + std::to_string(tally.done) +
                    ", failed: " + std::to_string(tally.failed) + "\n";
        }
        text += "done: " + std::to_string(done) + ", failed: " + std::to_string(failed) + "\n";
        if (!m_run.Emit(text))
            return kExitFileError;
        if (m_stopped)
            return m_stopped->message.empty() ? m_stopped->code : m_run.Fail(*m_stopped);
        if (const int signal = m_run.Stopped())
            return signal;
        return m_firstFailure;
    }

private:
    struct Tally {
        int done = 0;
        int failed = 0;
    };
    bool Stop(Failure why)
    {
        if (!m_stopped)
            m_stopped = std::move(why);
        m_stop = true;
        return false;
    }

    RunContext& m_run;
    std::ofstream& m_log;
    std::mutex m_mutex;
    int m_claimed = 0;
    bool m_stop = false;
    std::optional<Failure> m_stopped;
    int m_firstFailure = kExitOk;
    std::map<std::string, Tally> m_tallies;
};

// One adapter's lane: servo after servo on it, until the count is reached,
// the batch stops, or a signal comes.
class Lane {
public:
    Lane(RunContext& run, Bench& bench, const RecordRequest& request, AdapterName adapter,
         std::unique_ptr<AdapterLane> way)
        : m_run(run), m_bench(bench), m_request(request), m_adapter(std::move(adapter)), m_way(std::move(way))
    {
    }

    void Run()
    {
        try {
            Work();
        } catch (const std::exception& error) {
            m_bench.LaneFailed(m_adapter.Text(), {kExitFailed, error.what()});
        }
    }

private:
    void Work()
    {
        const auto comm = m_run.OpenSession(m_way->Bridge(), m_way->Clock(), AdapterChoice::Of(m_adapter));
        const std::string name = "adapter " + m_adapter.Text();
        // What stands in the way is said once while it stays so: another
        // program holds the adapter, or no servo on it answers.
        std::optional<LinkFailure> said;
        auto servoAnswers = [&] {
            const Connection link = Connect(*comm, true);
            const bool busy = link.stage == LinkStage::NoSession && link.failure == LinkFailure::Busy;
            // Attached, but not open (no access, a transfer that failed), or open without a servo that answers.
            const bool absent = link.failure == LinkFailure::NoAdapter || link.failure == LinkFailure::AdapterGone;
            const bool attached = link.stage != LinkStage::ServoAnswers && (link.stage != LinkStage::NoSession || !absent);
            const std::optional<LinkFailure> now = busy || attached ? std::optional(link.failure) : std::nullopt;
            if (now && now != said && m_run.Stopped() == 0) {
                if (busy)
                    m_run.Instruct(name + ": " + Reason(link.failure) +
                                   ": close the other program, or wait until it ends; this adapter goes on once it "
                                   "is free");
                else if (const auto why = m_run.Describe(link, true))
                    m_run.Instruct(name + ": " + why->message + "; the adapter waits until a servo answers");
            }
            said = now;
            return link.stage == LinkStage::ServoAnswers;
        };
        for (;;) {
            m_run.Instruct(name + ": waiting for a servo: plug it in with the adapter (Ctrl+C ends the batch)");
            if (!WaitUntil(servoAnswers))
                return;
            const int servo = m_bench.Claim();
            if (servo == 0)
                return;
            const ServoResult result = Program(m_run, *comm, servo, m_request, true);
            if (result.code != kExitOk && !result.log.contains("before") && m_run.Stopped() != 0)
                return;  // stopped before anything of this servo was read
            if (!m_bench.Record(m_adapter.Text(), result) || m_run.Stopped() != 0 || m_bench.Over())
                return;
            m_way->ServoProgrammed();
            m_run.Instruct(name + ": unplug the adapter with servo " + std::to_string(servo));
            if (!WaitUntil([&] { return !comm->OpenAdapter(); }))
                return;
        }
    }

    // Polls until condition holds; false when a signal came, or no servo is left to program.
    template <typename Condition>
    bool WaitUntil(Condition&& condition)
    {
        while (m_run.Stopped() == 0 && !m_bench.Over()) {
            if (condition())
                return true;
            m_way->Pause(kPollInterval);
        }
        return false;
    }

    RunContext& m_run;
    Bench& m_bench;
    const RecordRequest& m_request;
    AdapterName m_adapter;
    std::unique_ptr<AdapterLane> m_way;
};

}  // namespace

std::optional<Failure> RefuseParallel(RunContext& run)
{
    const Options& options = run.options;
    if (options.adapter)
        return Failure{kExitBadArguments, "--parallel works every attached adapter; leave --adapter out"};
    if (options.trace)
        return Failure{kExitBadArguments, "--trace follows one adapter; leave it out with --parallel"};
    if (options.dryRun)
        return Failure{kExitBadArguments, "a dry run reads one servo on one adapter; leave --parallel out"};
    return std::nullopt;
}

int RunParallelBatch(RunContext& run, const RecordRequest& request, std::ofstream& log)
{
    const std::vector<AdapterName> adapters = run.Adapters();
    if (adapters.empty())
        return run.Fail({kExitNoAdapter, "no adapter is attached: plug in the bench's adapters first; batch "
                                         "--parallel works those attached when it starts"});
    Bench bench(run, log);
    std::vector<Lane> lanes;
    for (const AdapterName& adapter : adapters) {
        std::unique_ptr<AdapterLane> way = run.services.Lane(run.options.demo, adapter);
        if (!way)
            return run.Fail({kExitNoAdapter, "adapter " + adapter.Text() + " cannot be opened on a lane of its own"});
        lanes.emplace_back(run, bench, request, adapter, std::move(way));
    }
    std::string names;
    for (const AdapterName& adapter : adapters)
        names += (names.empty() ? "" : ", ") + adapter.Text();
    run.Instruct("working " + std::to_string(adapters.size()) + " adapter(s) at once: " + names);
    {
        std::vector<std::jthread> threads;
        for (Lane& lane : lanes)
            threads.emplace_back([&lane] { lane.Run(); });
    }
    return bench.Finish(adapters);
}

}  // namespace rvz::cli
