// Late replies over the simulated adapter, in virtual time: whatever the
// delay, an operation fails or carries exactly what the servo holds.
#include <gtest/gtest.h>

#include "LateReplySweep.h"

namespace rvz {
namespace {

using test::ServoOperation;
using namespace std::chrono_literals;

struct LateRow {
    ServoOperation operation;
    LinkTime delay;
    LinkTime jitter;
};

class LateRepliesTest : public ::testing::TestWithParam<LateRow> {};

TEST_P(LateRepliesTest, FailOrCarryTheServosValues)
{
    const LateRow row = GetParam();
    ManualLinkClock clock;
    SimulatedAdapter sim;
    sim.UseClock(clock);
    sim.SetServoRegisters(test::kDistinctRegisters);
    sim.SetReplyDelay(row.delay, row.jitter);
    TComm comm(sim, clock);
    ASSERT_TRUE(comm.OpenAdapter());

    // Several rounds, so that what one round leaves on the line meets the next.
    for (int round = 0; round < 4; ++round) {
        const auto judgement = test::RunAndJudge(row.operation, comm, [&] { return sim.ServoRegisters(); },
                                                 sim.AdapterIdentification());
        EXPECT_EQ(judgement.wrong, "") << "round " << round;
        if (row.delay + row.jitter < LinkTime{kAdapterTimeoutMs}) {
            EXPECT_TRUE(judgement.succeeded) << "a reply within the time-out must be taken, round " << round;
        }
    }
}

std::vector<LateRow> Rows()
{
    std::vector<LateRow> rows;
    for (ServoOperation operation : {ServoOperation::ReadConfig, ServoOperation::WriteConfig,
                                     ServoOperation::Initialize, ServoOperation::Identify}) {
        for (int delay = 0; delay <= 250; delay += 10)
            rows.push_back({operation, LinkTime{delay}, 0ms});
        for (auto [delay, jitter] : {std::pair{0, 120}, {30, 60}, {40, 250}, {60, 100}})
            rows.push_back({operation, LinkTime{delay}, LinkTime{jitter}});
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Sweep, LateRepliesTest, ::testing::ValuesIn(Rows()), [](const auto& row) {
    return std::string(test::NameOf(row.param.operation)) + "_" + std::to_string(row.param.delay.count()) + "ms" +
           (row.param.jitter.count() ? "_jitter" + std::to_string(row.param.jitter.count()) : "");
});

}  // namespace
}  // namespace rvz
