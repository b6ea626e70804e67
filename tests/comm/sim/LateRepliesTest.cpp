// SPDX-License-Identifier: GPL-3.0-or-later
// Late replies over the simulated adapter, in virtual time: whatever the
// delay, an operation fails or carries exactly what the servo holds.
#include <gtest/gtest.h>

#include <algorithm>

#include "LateReplySweep.h"
#include "ServoOperations.h"

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
    TComm comm(sim, clock);
    ASSERT_TRUE(Connect(comm, false).Identified());
    sim.SetReplyDelay(row.delay, row.jitter);

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

// The late-reply wait grows to twice the lateness seen while a failing Read
// Config settled its link (seen when the read that got the reply returned,
// up to a read time-out after the reply came), never beyond the limit, and
// shrinks back to the base with every exchange that comes in time.
class LateReplyWaitGrowthTest : public ::testing::TestWithParam<int> {};

TEST_P(LateReplyWaitGrowthTest, CoversTheLatestReplySeenThenShrinksBack)
{
    const LinkTime late{GetParam()};
    ManualLinkClock clock;
    SimulatedAdapter sim;
    sim.UseClock(clock);
    TComm comm(sim, clock);
    ASSERT_TRUE(Connect(comm, false).Identified());
    sim.SetReplyDelay(late);
    RegisterRecord record{};
    EXPECT_FALSE(ReadConfig(comm, record));
    const auto bounded = [](LinkTime wait) { return std::clamp(wait, kRequiredSilence, kLateReplyLimit); };
    EXPECT_GE(comm.LateReplyWaitNow(), bounded(2 * late));
    EXPECT_LE(comm.LateReplyWaitNow(), bounded(2 * (late + LinkTime{kAdapterTimeoutMs})));

    sim.SetReplyDelay(LinkTime{0});
    for (int read = 0; read < 6; ++read)
        ASSERT_TRUE(ReadConfig(comm, record));
    EXPECT_EQ(comm.LateReplyWaitNow(), kRequiredSilence);
}

INSTANTIATE_TEST_SUITE_P(Lateness, LateReplyWaitGrowthTest, ::testing::Values(60, 140, 200, 400, 700, 900),
                         [](const auto& row) { return std::to_string(row.param) + "ms"; });

// A program that ended without waiting (killed) left a reply on its way,
// which comes in with the next program's identification: the adapter is
// asked again on a quiet link, never called a wrong one.
class StrayReplyTest : public ::testing::TestWithParam<int> {};

TEST_P(StrayReplyTest, DoesNotGetTheAdapterRejected)
{
    ManualLinkClock clock;
    SimulatedAdapter sim;
    sim.UseClock(clock);
    BridgeHandle ended = kNullHandle;
    sim.Open(0, &ended);
    sim.SetReplyDelay(LinkTime{GetParam()});
    std::uint32_t written = 0;
    const std::array<std::uint8_t, 4> read{0x23, 0x03, 0x00, 0x00};
    sim.Write(ended, read, &written);
    sim.Close(ended);

    sim.SetReplyDelay(LinkTime{0});
    TComm comm(sim, clock);
    ASSERT_TRUE(comm.OpenAdapter());
    IdentificationBytes identification{};
    EXPECT_EQ(IdentifyAdapter(comm, identification), AdapterIdentity::Ours) << test::HexText(identification);
    EXPECT_TRUE(std::equal(identification.begin(), identification.end(), sim.AdapterIdentification().begin()));
}

INSTANTIATE_TEST_SUITE_P(Lateness, StrayReplyTest, ::testing::Values(1, 30, 49, 120, 299),
                         [](const auto& row) { return std::to_string(row.param) + "ms"; });

}  // namespace
}  // namespace rvz
