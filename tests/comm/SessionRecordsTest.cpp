// SPDX-License-Identifier: GPL-3.0-or-later
// The notes a session leaves for the next program on its adapter: what the
// file says, and how long the next session waits before its first command.
#include <gtest/gtest.h>

#include <fstream>

#include "Comm.h"
#include "ServoOperations.h"
#include "SimulatedAdapter.h"
#include "TempDir.h"

namespace rvz {
namespace {

constexpr const char* kKey = "usb-001-004";

// A program starts on the adapter after the last one: its first command goes
// out at once, or once what the last one left can no longer come.
struct StartRow {
    const char* name;
    std::optional<std::string> note;  // the file as the last program left it; none: no file
    LinkTime::rep waitAtLeast;
    LinkTime::rep waitAtMost;
};

class StartAfterNoteTest : public ::testing::TestWithParam<StartRow> {};

TEST_P(StartAfterNoteTest, WaitsOnlyForWhatMayStillCome)
{
    const test::TempDir folder("rvz-notes-");
    ManualLinkClock clock;
    clock.SleepFor(LinkTime{100000});
    if (GetParam().note)
        std::ofstream(folder.path() / (std::string(kKey) + ".session"), std::ios::binary) << *GetParam().note;
    FileSessionRecords records(folder.path());
    SimulatedAdapter sim;
    sim.UseClock(clock);
    sim.SetSessionKey(kKey);
    {
        TComm comm(sim, clock, records);
        const LinkTime start = clock.Now();
        ASSERT_TRUE(Connect(comm, true).stage == LinkStage::ServoAnswers);
        const LinkTime waited = clock.Now() - start;
        EXPECT_GE(waited.count(), GetParam().waitAtLeast);
        EXPECT_LE(waited.count(), GetParam().waitAtMost);
    }
    // A clean close leaves word that nothing is owed.
    std::ifstream file(folder.path() / (std::string(kKey) + ".session"), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(text, FileSessionRecords::NoteText(std::nullopt));
}

const LinkTime::rep kAlmostDue = 100000 + 1000;  // a reply may come for another second

INSTANTIATE_TEST_SUITE_P(Notes, StartAfterNoteTest, ::testing::Values(
    StartRow{"NoNote", std::nullopt, 0, 10},
    StartRow{"EmptyNote", std::string(), 0, 10},
    StartRow{"CleanEnd", FileSessionRecords::NoteText(std::nullopt), 0, 10},
    StartRow{"OwedLongAgo", FileSessionRecords::NoteText(LinkTime{99000}), 0, 10},
    StartRow{"OwedForAnotherSecond", FileSessionRecords::NoteText(LinkTime{kAlmostDue}), 1000, 1000 + 400},
    StartRow{"CutShort", "rivivev-uvezi session: ow", kLateReplyLimit.count(), kLateReplyLimit.count() + 400},
    StartRow{"Garbage", "\x01\x02 owed until 5 ms", kLateReplyLimit.count(), kLateReplyLimit.count() + 400},
    // Later than this clock can have noted: the machine restarted since.
    StartRow{"FromAnotherClock", FileSessionRecords::NoteText(LinkTime{100000 + 10000}), 0, 10}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace rvz
