// Late replies over the simulated adapter, in virtual time: whatever the
// delay, an operation fails or carries exactly what the servo holds.
#include <gtest/gtest.h>

#include "LateReplySweep.h"

namespace rvz {
namespace {

using test::LateRow;
using namespace std::chrono_literals;

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

// Every 10 ms from 0 to 250 ms, and four jittered rows.
std::vector<LateRow> Rows()
{
    std::vector<int> delays;
    for (int delay = 0; delay <= 250; delay += 10)
        delays.push_back(delay);
    return test::SweepRows(delays, {{0, 120}, {30, 60}, {40, 250}, {60, 100}});
}

INSTANTIATE_TEST_SUITE_P(Sweep, LateRepliesTest, ::testing::ValuesIn(Rows()), test::RowName);

}  // namespace
}  // namespace rvz
