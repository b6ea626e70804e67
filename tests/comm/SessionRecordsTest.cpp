// SPDX-License-Identifier: GPL-3.0-or-later
// The notes a session leaves for the next program on its adapter: what the
// file says, and how long the next session waits before its first command.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

#include "Comm.h"
#include "ServoOperations.h"
#include "SimulatedAdapter.h"
#include "ScriptedBridge.h"
#include "TempDir.h"

namespace rvz {
namespace {

constexpr const char* kKey = "usb-001-004";

#if defined(_WIN32)
bool MakePipe(const std::filesystem::path&) { return false; }
#else
bool MakePipe(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0600) == 0; }
#endif

// A program starts on the adapter after the last one: its first command goes
// out at once, or once what the last one left can no longer come.
// What stands where the note would be, other than a file with a text.
enum class InPlace { File, Link, Folder, Pipe };

struct StartRow {
    const char* name;
    std::optional<std::string> note;  // the file as the last program left it; none: no file
    LinkTime::rep waitAtLeast;
    LinkTime::rep waitAtMost;
    InPlace inPlace = InPlace::File;
};

// Puts what the row says where the note is; false where the system cannot.
bool Place(const StartRow& row, const std::filesystem::path& path, const std::filesystem::path& elsewhere)
{
    std::error_code error;
    switch (row.inPlace) {
    case InPlace::File:
        if (row.note)
            std::ofstream(path, std::ios::binary) << *row.note;
        return true;
    case InPlace::Link:
        std::ofstream(elsewhere, std::ios::binary) << *row.note;
        std::filesystem::create_symlink(elsewhere, path, error);
        return !error;
    case InPlace::Folder:
        return std::filesystem::create_directory(path, error);
    case InPlace::Pipe:
        return MakePipe(path);
    }
    return false;
}

class StartAfterNoteTest : public ::testing::TestWithParam<StartRow> {};

TEST_P(StartAfterNoteTest, WaitsOnlyForWhatMayStillCome)
{
    const test::TempDir folder("rvz-notes-");
    ManualLinkClock clock;
    clock.SleepFor(LinkTime{100000});
    const std::filesystem::path note = folder.path() / (std::string(kKey) + ".session");
    const std::filesystem::path elsewhere = folder.path() / "elsewhere";
    if (!Place(GetParam(), note, elsewhere))
        GTEST_SKIP() << "this system cannot make what the row puts in the note's place";
    const std::filesystem::file_type placed = std::filesystem::symlink_status(note).type();
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
    if (GetParam().inPlace != InPlace::File) {
        // Nothing but a plain file is taken for a note, nor written through.
        EXPECT_EQ(std::filesystem::symlink_status(note).type(), placed);
        if (GetParam().inPlace == InPlace::Link) {
            std::ifstream target(elsewhere, std::ios::binary);
            EXPECT_EQ(std::string((std::istreambuf_iterator<char>(target)), {}), *GetParam().note);
        }
        return;
    }
    // A clean close leaves word that nothing is owed.
    std::ifstream file(note, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(text, FileSessionRecords::NoteText(std::nullopt));
}

const LinkTime::rep kAlmostDue = 100000 + 1000;  // a reply may come for another second

INSTANTIATE_TEST_SUITE_P(Notes, StartAfterNoteTest, ::testing::Values(
    StartRow{"NoNote", std::nullopt, 0, 10},
    // An empty note is one whose write failed: anything may be owed.
    StartRow{"EmptyNote", std::string(), kLateReplyLimit.count(), kLateReplyLimit.count() + 400},
    StartRow{"CleanEnd", FileSessionRecords::NoteText(std::nullopt), 0, 10},
    StartRow{"OwedLongAgo", FileSessionRecords::NoteText(LinkTime{99000}), 0, 10},
    StartRow{"OwedForAnotherSecond", FileSessionRecords::NoteText(LinkTime{kAlmostDue}), 1000, 1000 + 400},
    StartRow{"CutShort", "rivivev-uvezi session: ow", kLateReplyLimit.count(), kLateReplyLimit.count() + 400},
    StartRow{"Garbage", "\x01\x02 owed until 5 ms", kLateReplyLimit.count(), kLateReplyLimit.count() + 400},
    // Later than this clock can have noted: the machine restarted since.
    StartRow{"FromAnotherClock", FileSessionRecords::NoteText(LinkTime{100000 + 10000}), 0, 10},
    // What is no plain file may say anything, and is neither read nor written.
    StartRow{"Link", FileSessionRecords::NoteText(std::nullopt), kLateReplyLimit.count(), kLateReplyLimit.count() + 400,
             InPlace::Link},
    StartRow{"Folder", std::nullopt, kLateReplyLimit.count(), kLateReplyLimit.count() + 400, InPlace::Folder},
    StartRow{"Pipe", std::nullopt, kLateReplyLimit.count(), kLateReplyLimit.count() + 400, InPlace::Pipe}),
    [](const auto& row) { return std::string(row.param.name); });

// A session that could not make sure nothing it sent can still come (its
// closing wait failed) leaves its note saying a reply may still come.
TEST(SessionNoteTest, ACloseThatCouldNotWaitLeavesTheReplyOwed)
{
    const test::TempDir folder("rvz-notes-");
    FileSessionRecords records(folder.path());
    ManualLinkClock clock;
    test::ScriptedBridge bridge(&clock);
    bridge.sessionKey = kKey;
    {
        TComm comm(bridge, clock, records);
        ASSERT_TRUE(comm.OpenAdapter());
        comm.NoteIdentified();
        ASSERT_TRUE(comm.AdapterWrite(test::HexBytes("23 00 00 00")));
        std::array<std::uint8_t, 3> reply{};
        EXPECT_EQ(comm.AdapterRead(reply), 0);  // the reply is owed
        bridge.readResults.push_back({bridge_status::kReadError, {}});  // and the closing wait fails
    }
    EXPECT_EQ(records.Open(kKey).left.state, LeftBefore::State::Owed);
}

}  // namespace
}  // namespace rvz
