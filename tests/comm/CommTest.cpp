// SPDX-License-Identifier: GPL-3.0-or-later
// The adapter session and the register protocol, checked at the wire.
#include <gtest/gtest.h>

#include <functional>

#include "Comm.h"
#include "Crc16.h"
#include "ScriptedBridge.h"
#include "Settings.h"

namespace rvz {
namespace {

using test::BridgeCall;
using test::Bytes;
using test::HexBytes;
using test::ScriptedBridge;
using Op = BridgeCall::Op;

class CommTest : public ::testing::Test {
protected:
    // An open session, its adapter identified, whose opening traffic has been forgotten.
    void OpenSession()
    {
        ASSERT_TRUE(comm.OpenAdapter());
        comm.NoteIdentified();
        bridge.calls.clear();
    }
    // Makes the next status reply malformed, so LinkVerified goes to no.
    void LoseLink()
    {
        bridge.readResults.push_back({kBridgeSuccess, {0x02, 0x02}});
        comm.ReadStatus(nullptr);
        ASSERT_FALSE(comm.LinkVerified());
        clock.SleepFor(kRequiredSilence);  // the link has fallen silent since
        bridge.calls.clear();
    }

    ManualLinkClock clock;
    ScriptedBridge bridge{&clock};
    TComm comm{bridge, clock};
};

// ---------------------------------------------------------------- session

TEST_F(CommTest, FirstOpenSetsTimeoutsThenOpensIndexZero)
{
    EXPECT_TRUE(comm.OpenAdapter());
    ASSERT_EQ(bridge.Ops(), (std::vector<Op>{Op::Count, Op::SetTimeouts, Op::Open}));
    EXPECT_EQ(bridge.calls[1].arg1, 50u);
    EXPECT_EQ(bridge.calls[1].arg2, 50u);
    EXPECT_EQ(bridge.calls[2].arg1, 0u);  // device index
    EXPECT_EQ(comm.AdapterHandle(), 7u);
    EXPECT_TRUE(comm.LinkVerified());
}

TEST_F(CommTest, OpenWithSessionOpenOnlyCounts)
{
    OpenSession();
    EXPECT_TRUE(comm.OpenAdapter());
    EXPECT_EQ(bridge.Ops(), std::vector<Op>{Op::Count});
}

TEST_F(CommTest, NoAdapterAtStartClosesNothingAndKeepsLinkVerified)
{
    bridge.countResults = {1};
    EXPECT_FALSE(comm.OpenAdapter());
    EXPECT_EQ(bridge.Ops(), std::vector<Op>{Op::Count});
    EXPECT_TRUE(comm.LinkVerified());
}

TEST_F(CommTest, AdapterGoneClosesSessionAndNextPollReopens)
{
    OpenSession();
    bridge.countResults = {5};
    EXPECT_FALSE(comm.OpenAdapter());
    EXPECT_EQ(bridge.Ops(), (std::vector<Op>{Op::Count, Op::Close}));
    EXPECT_EQ(bridge.calls[1].handle, 7u);
    EXPECT_EQ(comm.AdapterHandle(), kNullHandle);
    EXPECT_FALSE(comm.LinkVerified());

    bridge.calls.clear();
    EXPECT_TRUE(comm.OpenAdapter());
    EXPECT_EQ(bridge.Ops(), (std::vector<Op>{Op::Count, Op::SetTimeouts, Op::Open}));
}

TEST_F(CommTest, FailedOpenClosesOnlyAHandleItStored)
{
    bridge.openResults = {{3, kNullHandle}};
    EXPECT_FALSE(comm.OpenAdapter());
    EXPECT_EQ(bridge.CountOf(Op::Close), 0u);
    EXPECT_TRUE(comm.LinkVerified());

    bridge.openResults = {{3, 9}};
    EXPECT_FALSE(comm.OpenAdapter());
    EXPECT_EQ(bridge.CountOf(Op::Close), 1u);
    EXPECT_EQ(comm.AdapterHandle(), kNullHandle);
    EXPECT_FALSE(comm.LinkVerified());
}

TEST_F(CommTest, OpenReportingSuccessWithNullHandleFailsWithoutClosing)
{
    bridge.openResults = {{kBridgeSuccess, kNullHandle}};
    EXPECT_FALSE(comm.OpenAdapter());
    EXPECT_EQ(bridge.CountOf(Op::Close), 0u);
}

TEST_F(CommTest, CloseTwiceClosesOnce)
{
    OpenSession();
    comm.CloseAdapter();
    comm.CloseAdapter();
    EXPECT_EQ(bridge.Ops(), std::vector<Op>{Op::Close});
    EXPECT_FALSE(comm.LinkVerified());
}

TEST_F(CommTest, TransfersWithoutSessionCallNothing)
{
    std::array<std::uint8_t, 3> buffer{};
    EXPECT_EQ(comm.AdapterRead(buffer), 0);
    EXPECT_FALSE(comm.AdapterWrite(buffer));
    EXPECT_TRUE(bridge.calls.empty());
}

TEST_F(CommTest, WriteFlushesBothBuffersFirst)
{
    OpenSession();
    const Bytes command = HexBytes("23 00 00 00");
    EXPECT_TRUE(comm.AdapterWrite(command));
    ASSERT_EQ(bridge.Ops(), (std::vector<Op>{Op::Flush, Op::Write}));
    EXPECT_EQ(bridge.calls[0].arg1, 255u);
    EXPECT_EQ(bridge.calls[0].arg2, 255u);
    EXPECT_EQ(bridge.calls[1].bytes, command);
}

TEST_F(CommTest, ShortOrFailedWriteIsFalseAndKeepsSession)
{
    OpenSession();
    const Bytes command = HexBytes("23 00 00 00");
    bridge.writeResults = {{kBridgeSuccess, 3}, {4, 4}};
    EXPECT_FALSE(comm.AdapterWrite(command));
    EXPECT_FALSE(comm.AdapterWrite(command));
    EXPECT_EQ(comm.AdapterHandle(), 7u);
}

TEST_F(CommTest, ReadReturnsLibraryCountOrZeroOnFailure)
{
    OpenSession();
    std::array<std::uint8_t, 5> buffer{};
    bridge.readResults = {{kBridgeSuccess, {1, 2}}, {9, {1, 2, 3}}, {kBridgeSuccess, {1}, 99}};
    EXPECT_EQ(comm.AdapterRead(buffer), 2);
    EXPECT_EQ(comm.AdapterRead(buffer), 0);
    EXPECT_EQ(comm.AdapterRead(buffer), 0) << "a count beyond the buffer is garbage";
    EXPECT_EQ(comm.AdapterHandle(), 7u);
}

// ---------------------------------------------------------------- replies

struct StatusCase {
    const char* name;
    Bytes reply;
    bool result;
    bool linkAfter;  // starting from LinkVerified = no
    int stored;      // -1: destination untouched
};

class ReadStatusTest : public CommTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ReadStatusTest, JudgesReply)
{
    const StatusCase& c = GetParam();
    OpenSession();
    LoseLink();
    bridge.readResults.push_back({kBridgeSuccess, c.reply});
    std::uint8_t data = 0xEE;
    EXPECT_EQ(comm.ReadStatus(&data), c.result);
    EXPECT_EQ(comm.LinkVerified(), c.linkAfter);
    EXPECT_EQ(data, c.stored < 0 ? 0xEE : c.stored);
    ASSERT_EQ(bridge.calls.size(), 1u);
    EXPECT_EQ(bridge.calls[0].wanted, 3u);
}

INSTANTIATE_TEST_SUITE_P(Replies, ReadStatusTest,
    ::testing::Values(StatusCase{"Positive", {0x02, 0x02, 0x41}, true, true, 0x41},
                      StatusCase{"OtherStatusBitsIgnored", {0x02, 0xFF, 0x42}, true, true, 0x42},
                      StatusCase{"NegativeStoresData", {0x02, 0x00, 0x7F}, false, false, 0x7F},
                      StatusCase{"TwoBytes", {0x02, 0x02}, false, false, -1},
                      StatusCase{"WrongMarker", {0x01, 0x02, 0x00}, false, false, -1},
                      StatusCase{"Nothing", {}, false, false, -1}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CommTest, NegativeReplyLeavesLinkVerifiedYes)
{
    OpenSession();
    bridge.QueueStatusReply(0x00, 0x7F);
    EXPECT_FALSE(comm.ReadStatus(nullptr));
    EXPECT_TRUE(comm.LinkVerified());
}

TEST_F(CommTest, BlockAckChecksCrcLowByteFirst)
{
    OpenSession();
    LoseLink();
    bridge.readResults = {{kBridgeSuccess, {0x02, 0x02, 0x99, 0x34, 0x12}}};
    EXPECT_TRUE(comm.ReadBlockAck(0x1234));
    LoseLink();
    bridge.readResults = {{kBridgeSuccess, {0x02, 0x02, 0x99, 0x12, 0x34}}};
    EXPECT_FALSE(comm.ReadBlockAck(0x1234));
    EXPECT_TRUE(comm.LinkVerified()) << "a wrong CRC still comes in a well-framed reply";
}

TEST_F(CommTest, BlockAckRejectsNegativeShortAndUnmarkedReplies)
{
    OpenSession();
    bridge.readResults = {{kBridgeSuccess, {0x02, 0x00, 0x00, 0x34, 0x12}}};
    EXPECT_FALSE(comm.ReadBlockAck(0x1234));
    EXPECT_TRUE(comm.LinkVerified());
    bridge.readResults = {{kBridgeSuccess, {0x02, 0x02, 0x00, 0x34}}};
    EXPECT_FALSE(comm.ReadBlockAck(0x1234));
    EXPECT_FALSE(comm.LinkVerified());
}

// Every reader of replies refuses a reply whose first byte is not the marker
// 0x02, however the rest looks; 0x03 and 0x82 share bits with the marker.
class UnmarkedReplyTest : public CommTest, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(UnmarkedReplyTest, IsRefusedByEveryReader)
{
    OpenSession();
    const std::uint8_t marker = GetParam();
    Bytes identification(24, 0xA0);
    identification[0] = marker;
    identification[1] = 0x02;
    bridge.readResults = {{kBridgeSuccess, {marker, 0x02, 0x41}},
                          {kBridgeSuccess, {0x02, 0x02, 0x00}},  // the link back up in between
                          {kBridgeSuccess, {marker, 0x02, 0x00, 0x34, 0x12}},
                          {kBridgeSuccess, identification}};

    std::uint8_t data = 0xEE;
    EXPECT_FALSE(comm.ReadStatus(&data));
    EXPECT_FALSE(comm.LinkVerified());
    EXPECT_EQ(data, 0xEE);
    ASSERT_TRUE(comm.ReadStatus(nullptr));
    EXPECT_FALSE(comm.ReadBlockAck(0x1234));
    EXPECT_FALSE(comm.LinkVerified());
    std::array<std::uint8_t, 22> id{};
    EXPECT_FALSE(comm.QueryAdapterInfo(id));
    EXPECT_EQ(id[21], 0x00);
}

INSTANTIATE_TEST_SUITE_P(Markers, UnmarkedReplyTest, ::testing::Values(0x00, 0x01, 0x03, 0x12, 0x82));

// ---------------------------------------------------------------- reads

const std::vector<Bytes> kConfigReadCommands{
    HexBytes("23 03 00 00"), HexBytes("23 03 05 00"), HexBytes("23 03 06 00"),
    HexBytes("23 03 07 00"), HexBytes("23 03 08 00"), HexBytes("23 03 09 00")};

TEST_F(CommTest, ReadWithConfigMaskSendsSixReadsAndFillsRecord)
{
    OpenSession();
    for (int v : {0x23, 0x01, 0x4E, 0x9C, 0x80, 0x0D})
        bridge.QueueStatusReply(0x02, static_cast<std::uint8_t>(v));
    std::array<std::uint8_t, 16> record{};
    record.fill(0xAA);
    EXPECT_TRUE(comm.ReadRegisters(record, ConfigMask, 11));
    EXPECT_EQ(bridge.Writes(), kConfigReadCommands);
    const std::array<std::uint8_t, 16> expected{0xAA, 0x23, 0xAA, 0xAA, 0xAA, 0xAA, 0x01, 0x4E,
                                                0x9C, 0x80, 0x0D, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(record, expected);
    for (const auto& call : bridge.calls) {
        if (call.op == Op::Read) {
            EXPECT_EQ(call.wanted, 3u);
        }
    }
}

TEST_F(CommTest, ReadProbesFirstOnlyWhenLinkNotVerified)
{
    OpenSession();
    std::array<std::uint8_t, 16> record{};
    bridge.QueuePositiveReplies(6);
    ASSERT_TRUE(comm.ReadRegisters(record, ConfigMask, 11));
    EXPECT_EQ(bridge.Writes().size(), 6u);

    LoseLink();
    bridge.readResults.clear();  // the probe goes unanswered, the read goes on
    bridge.repliesFollowCommands = true;
    bridge.readResults.push_back({});
    bridge.QueuePositiveReplies(12);
    EXPECT_TRUE(comm.ReadRegisters(record, ConfigMask, 11));
    auto writes = bridge.Writes();
    ASSERT_EQ(writes.size(), 13u);
    EXPECT_EQ(writes[0], HexBytes("23 00 00 00"));
    EXPECT_GE(clock.Now(), kRequiredSilence * 2) << "the read waited for the silent link";
    EXPECT_EQ(std::vector<Bytes>(writes.begin() + 1, writes.begin() + 7), kConfigReadCommands);
    // The first reply read may have been the probe's, come late: the read is
    // believed only once it has gone through again when nothing can be owed.
    EXPECT_GE(clock.Now(), kLateReplyLimit);
    EXPECT_EQ(std::vector<Bytes>(writes.begin() + 7, writes.end()), kConfigReadCommands);
}

TEST_F(CommTest, ReadRegisterZeroSetsBankForLaterAddresses)
{
    OpenSession();
    const std::array<std::uint8_t, 4> mask{1, 0, 0, 1};
    bridge.QueueStatusReply(0x02, 0xA5);
    bridge.QueueStatusReply(0x02, 0x11);
    std::array<std::uint8_t, 16> record{};
    EXPECT_TRUE(comm.ReadRegisters(record, mask, 4));
    EXPECT_EQ(bridge.Writes(), (std::vector<Bytes>{HexBytes("23 06 00 00"), HexBytes("23 03 A2 00")}));
    EXPECT_EQ(record[0], 0xA5);
    EXPECT_EQ(record[3], 0x11);
}

TEST_F(CommTest, ReadStopsAtFirstFailure)
{
    OpenSession();
    bridge.QueueStatusReply(0x02, 0x23);
    bridge.QueueStatusReply(0x00, 0x7F);  // negative: data kept, operation fails
    std::array<std::uint8_t, 16> record{};
    EXPECT_FALSE(comm.ReadRegisters(record, ConfigMask, 11));
    EXPECT_EQ(bridge.Writes().size(), 2u);
    EXPECT_EQ(record[1], 0x23);
    EXPECT_EQ(record[6], 0x7F);
    EXPECT_TRUE(comm.LinkVerified());

    bridge.calls.clear();
    bridge.writeResults = {{kBridgeSuccess, 2}};
    EXPECT_FALSE(comm.ReadRegisters(record, ConfigMask, 11));
    EXPECT_EQ(bridge.CountOf(Op::Read), 0u) << "no reply is read after a failed write";
}

TEST_F(CommTest, EmptyMaskOrCountMakesNoExchangeButStillProbes)
{
    OpenSession();
    std::array<std::uint8_t, 16> record{};
    const std::array<std::uint8_t, 11> none{};
    EXPECT_TRUE(comm.ReadRegisters(record, none, 11));
    EXPECT_TRUE(comm.WriteRegisters(record, ConfigMask, 0));
    EXPECT_TRUE(comm.ReadRegisters(record, ConfigMask, -3));
    EXPECT_TRUE(bridge.calls.empty());

    LoseLink();
    bridge.QueueStatusReply(0x02);
    EXPECT_TRUE(comm.WriteRegisters(record, none, 11));
    EXPECT_EQ(bridge.Writes(), std::vector<Bytes>{HexBytes("23 00 00 00")});
}

TEST_F(CommTest, CountBeyondMaskOrRecordSendsNothing)
{
    OpenSession();
    std::array<std::uint8_t, 16> record{};
    std::array<std::uint8_t, 8> shortRecord{};
    EXPECT_FALSE(comm.ReadRegisters(record, ConfigMask, 12));
    EXPECT_FALSE(comm.ReadRegisters(shortRecord, ConfigMask, 11));
    EXPECT_FALSE(comm.WriteRegisters(record, ConfigMask, 17));
    EXPECT_TRUE(bridge.calls.empty());
}

// ---------------------------------------------------------------- writes

TEST_F(CommTest, WriteWithConfigMaskSendsSelectPassThenDataPass)
{
    OpenSession();
    const Bytes record = HexBytes("00 23 00 00 00 00 01 4E 9C 80 0D 00 00 00 05 DC");
    bridge.QueuePositiveReplies(12);
    EXPECT_TRUE(comm.WriteRegisters(record, ConfigMask, 11));
    EXPECT_EQ(bridge.Writes(),
              (std::vector<Bytes>{HexBytes("23 01 00 00"), HexBytes("23 01 05 00"), HexBytes("23 01 06 00"),
                                  HexBytes("23 01 07 00"), HexBytes("23 01 08 00"), HexBytes("23 01 09 00"),
                                  HexBytes("23 02 00 23"), HexBytes("23 02 05 01"), HexBytes("23 02 06 4E"),
                                  HexBytes("23 02 07 9C"), HexBytes("23 02 08 80"), HexBytes("23 02 09 0D")}));
}

TEST_F(CommTest, WriteTakesBankFromRecordByteZero)
{
    OpenSession();
    Bytes record(16, 0);
    record[0] = 0x40;
    record[1] = 0x11;
    record[2] = 0x22;
    const std::array<std::uint8_t, 3> mask{0, 1, 1};
    bridge.QueuePositiveReplies(4);
    EXPECT_TRUE(comm.WriteRegisters(record, mask, 3));
    EXPECT_EQ(bridge.Writes(), (std::vector<Bytes>{HexBytes("23 01 40 00"), HexBytes("23 01 41 00"),
                                                   HexBytes("23 02 40 11"), HexBytes("23 02 41 22")}));
}

TEST_F(CommTest, WriteOfRegisterZeroUsesItsOwnCommands)
{
    OpenSession();
    Bytes record(16, 0);
    record[0] = 0x65;
    const std::array<std::uint8_t, 1> mask{1};
    bridge.QueuePositiveReplies(2);
    EXPECT_TRUE(comm.WriteRegisters(record, mask, 1));
    EXPECT_EQ(bridge.Writes(), (std::vector<Bytes>{HexBytes("23 04 00 00"), HexBytes("23 05 00 65")}));
}

TEST_F(CommTest, WriteStopsAtFailureInEitherPass)
{
    OpenSession();
    const Bytes record(16, 0);
    bridge.QueuePositiveReplies(2);
    bridge.QueueStatusReply(0x00);
    EXPECT_FALSE(comm.WriteRegisters(record, ConfigMask, 11));
    EXPECT_EQ(bridge.Writes().size(), 3u);

    bridge.calls.clear();
    bridge.readResults.clear();
    bridge.QueuePositiveReplies(7);
    EXPECT_FALSE(comm.WriteRegisters(record, ConfigMask, 11));  // 8th reply missing
    EXPECT_EQ(bridge.Writes().size(), 8u);
    EXPECT_EQ(bridge.Writes().back(), HexBytes("23 02 05 00"));
}

// ---------------------------------------------------------------- blocks

TEST_F(CommTest, BlockOfZerosHasZeroCrcAndNoProbe)
{
    OpenSession();
    LoseLink();
    const Bytes block(17, 0);
    // The reply answers the block: the look for stray bytes first finds none.
    bridge.repliesFollowCommands = true;
    bridge.readResults.push_back({kBridgeSuccess, {0x02, 0x02, 0x00, 0x00, 0x00}});
    EXPECT_TRUE(comm.WriteBlock(block));
    Bytes expected{0x22, 0x40};
    expected.insert(expected.end(), 19, 0x00);
    EXPECT_EQ(bridge.Writes(), std::vector<Bytes>{expected});
    EXPECT_EQ(bridge.calls.back().wanted, 5u);
}

TEST_F(CommTest, BlockFrameCarriesCrcLowByteFirst)
{
    OpenSession();
    const Bytes block = HexBytes("00 23 00 00 00 00 01 4E 9C 80 0D 00 00 00 05 DC 00");
    const std::uint16_t crc = Crc16(0, block);
    bridge.readResults.push_back(
        {kBridgeSuccess, {0x02, 0x02, 0x00, static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)}});
    EXPECT_TRUE(comm.WriteBlock(block));
    const Bytes frame = bridge.Writes().at(0);
    ASSERT_EQ(frame.size(), 21u);
    EXPECT_EQ(frame[19], crc & 0xFF);
    EXPECT_EQ(frame[20], crc >> 8);
    EXPECT_EQ(Bytes(frame.begin() + 2, frame.begin() + 19), block);
}

TEST_F(CommTest, BlockFailsOnFailedWriteOrOtherCrc)
{
    OpenSession();
    const Bytes block(17, 1);
    bridge.writeResults = {{kBridgeSuccess, 20}};
    EXPECT_FALSE(comm.WriteBlock(block));
    EXPECT_EQ(bridge.CountOf(Op::Read), 0u);
    bridge.readResults.push_back({kBridgeSuccess, {0x02, 0x02, 0x00, 0x00, 0x00}});
    EXPECT_FALSE(comm.WriteBlock(block));
}

TEST_F(CommTest, OversizedBlockIsRefusedUnsent)
{
    OpenSession();
    const Bytes block(0x10000, 0);
    EXPECT_FALSE(comm.WriteBlock(block));
    EXPECT_TRUE(bridge.calls.empty());
}

// ---------------------------------------------------------------- identify

TEST_F(CommTest, IdentifyCopiesBytesWithoutTouchingLink)
{
    OpenSession();
    LoseLink();
    Bytes reply{0x02, 0x02};
    for (std::uint8_t i = 0; i < 22; ++i)
        reply.push_back(static_cast<std::uint8_t>(0x80 + i));
    bridge.repliesFollowCommands = true;
    bridge.readResults.push_back({kBridgeSuccess, reply});
    std::array<std::uint8_t, 22> id{};
    EXPECT_TRUE(comm.QueryAdapterInfo(id));
    EXPECT_EQ(bridge.Writes(), std::vector<Bytes>{HexBytes("21 40")});
    EXPECT_EQ(bridge.calls.back().wanted, 24u);
    EXPECT_EQ(id[0], 0x80);
    EXPECT_EQ(id[21], 0x95);
    EXPECT_FALSE(comm.LinkVerified());
}

TEST_F(CommTest, IdentifyShortOrNegativeLeavesDestinationAlone)
{
    OpenSession();
    std::array<std::uint8_t, 22> id{};
    id.fill(0x5A);
    Bytes shortReply(23, 0x02);
    Bytes negative(24, 0x00);
    negative[0] = 0x02;
    bridge.readResults = {{kBridgeSuccess, shortReply}, {kBridgeSuccess, negative}};
    EXPECT_FALSE(comm.QueryAdapterInfo(id));
    EXPECT_FALSE(comm.QueryAdapterInfo(id));
    for (auto b : id)
        EXPECT_EQ(b, 0x5A);
    EXPECT_TRUE(comm.LinkVerified());
}

// ---------------------------------------------------------------- quiet link

TEST_F(CommTest, AfterAMissingReplyTheNextCommandWaitsForAQuietLink)
{
    OpenSession();
    bridge.repliesFollowCommands = true;
    bridge.readResults = {{}, {kBridgeSuccess, {0x02}}};
    ASSERT_TRUE(comm.AdapterWrite(HexBytes("23 00 00 00")));
    std::array<std::uint8_t, 3> reply{};
    EXPECT_EQ(comm.AdapterRead(reply), 0);
    const LinkTime failedAt = clock.Now();
    bridge.calls.clear();

    // The late byte arrives while the session waits; the wait starts over.
    bridge.repliesFollowCommands = false;
    ASSERT_TRUE(comm.AdapterWrite(HexBytes("23 00 00 00")));
    const auto ops = bridge.Ops();
    ASSERT_GE(ops.size(), 3u);
    EXPECT_EQ(ops[0], Op::Read) << "the stray byte is read before anything is sent";
    EXPECT_EQ((std::vector<Op>(ops.end() - 2, ops.end())), (std::vector<Op>{Op::Flush, Op::Write}));
    EXPECT_GE(clock.Now() - failedAt, kRequiredSilence);

    // Once settled, a command goes out at once again.
    bridge.QueueStatusReply(0x02);
    EXPECT_EQ(comm.AdapterRead(reply), 3);
    bridge.calls.clear();
    ASSERT_TRUE(comm.AdapterWrite(HexBytes("23 00 00 00")));
    EXPECT_EQ(bridge.Ops(), (std::vector<Op>{Op::Flush, Op::Write}));
}

// However long the link has been silent by the clock, a reply that came
// while nobody read still waits in the adapter: only a read that finds the
// buffer empty says the link is quiet.
TEST_F(CommTest, ALinkIsQuietOnlyOnceAReadFoundItEmpty)
{
    OpenSession();
    ASSERT_TRUE(comm.AdapterWrite(HexBytes("23 00 00 00")));
    std::array<std::uint8_t, 3> reply{};
    EXPECT_EQ(comm.AdapterRead(reply), 0);
    clock.SleepFor(kLateReplyLimit * 2);  // the user comes back much later
    bridge.calls.clear();
    bridge.QueueStatusReply(0x02);  // the late reply, waiting unread

    ASSERT_TRUE(comm.AdapterWrite(HexBytes("23 00 00 00")));
    const auto ops = bridge.Ops();
    ASSERT_GE(ops.size(), 4u);
    EXPECT_EQ((std::vector<Op>(ops.begin(), ops.begin() + 2)), (std::vector<Op>{Op::Read, Op::Read}))
        << "the waiting reply is read, then the buffer found empty";
    EXPECT_EQ((std::vector<Op>(ops.end() - 2, ops.end())), (std::vector<Op>{Op::Flush, Op::Write}));
}

// Why an operation failed, as the session remembers it.
struct FailureCase {
    const char* name;
    std::function<void(ScriptedBridge&)> script;
    std::function<bool(TComm&)> operation;
    LinkFailure expected;
    // Whether the next command waits for a quiet link: 1 yes, 0 no, -1 not asked.
    int nextCommandWaits = -1;
};

class FailureReasonTest : public ::testing::TestWithParam<FailureCase> {};

bool ReadConfig(TComm& comm)
{
    std::array<std::uint8_t, 16> record{};
    return comm.ReadRegisters(record, ConfigMask, 11);
}

TEST_P(FailureReasonTest, IsKept)
{
    ManualLinkClock clock;
    ScriptedBridge bridge{&clock};
    TComm comm(bridge, clock);
    GetParam().script(bridge);
    EXPECT_FALSE(GetParam().operation(comm));
    EXPECT_EQ(comm.LastFailure(), GetParam().expected) << DescribeLinkFailure(comm.LastFailure());
    if (GetParam().nextCommandWaits < 0)
        return;
    // A reply that may still be on its way keeps the next command back; a
    // well-framed one does not.
    bridge.calls.clear();
    bridge.readResults.clear();
    const LinkTime before = clock.Now();
    ASSERT_TRUE(comm.AdapterWrite(HexBytes("23 00 00 00")));
    EXPECT_EQ(bridge.Ops().front() == Op::Read, GetParam().nextCommandWaits == 1);
    EXPECT_EQ(clock.Now() > before, GetParam().nextCommandWaits == 1);
}

// Opens a session whose adapter identified itself.
bool OpenIdentified(TComm& comm)
{
    if (!comm.OpenAdapter())
        return false;
    comm.NoteIdentified();
    return true;
}

bool OpenThenRead(TComm& comm) { return OpenIdentified(comm) && ReadConfig(comm); }

INSTANTIATE_TEST_SUITE_P(Reasons, FailureReasonTest, ::testing::Values(
    FailureCase{"NothingAttached", [](ScriptedBridge& b) { b.countResults = {bridge_status::kDeviceNotFound}; },
                [](TComm& c) { return c.OpenAdapter(); }, LinkFailure::NoAdapter},
    FailureCase{"LibraryMissing", [](ScriptedBridge& b) { b.countResults = {bridge_status::kLibraryMissing}; },
                [](TComm& c) { return c.OpenAdapter(); }, LinkFailure::LibraryMissing},
    FailureCase{"NoPermission", [](ScriptedBridge& b) { b.openResults = {{bridge_status::kAccessDenied, 0}}; },
                [](TComm& c) { return c.OpenAdapter(); }, LinkFailure::NoPermission},
    FailureCase{"Busy", [](ScriptedBridge& b) { b.openResults = {{bridge_status::kBusy, 0}}; },
                [](TComm& c) { return c.OpenAdapter(); }, LinkFailure::Busy},
    FailureCase{"AdapterGone", [](ScriptedBridge& b) { b.countResults = {0, bridge_status::kDeviceNotFound}; },
                [](TComm& c) { return c.OpenAdapter() && c.OpenAdapter(); }, LinkFailure::AdapterGone},
    FailureCase{"NotOurs", [](ScriptedBridge&) {},
                [](TComm& c) { c.OpenAdapter(); c.RejectAdapter(LinkFailure::NotOurs); return c.OpenAdapter(); }, LinkFailure::NotOurs},
    FailureCase{"NoSession", [](ScriptedBridge&) {}, ReadConfig, LinkFailure::NoAdapter},
    FailureCase{"NoReply", [](ScriptedBridge&) {}, OpenThenRead, LinkFailure::NoReply, 1},
    FailureCase{"CutOff", [](ScriptedBridge& b) { b.readResults = {{kBridgeSuccess, {0x02, 0x02}}}; }, OpenThenRead,
                LinkFailure::MalformedReply, 1},
    FailureCase{"NoMarker", [](ScriptedBridge& b) { b.readResults = {{kBridgeSuccess, {0x01, 0x02, 0x00}}}; },
                OpenThenRead, LinkFailure::MalformedReply, 1},
    FailureCase{"Refused", [](ScriptedBridge& b) { b.QueueStatusReply(0x00); }, OpenThenRead,
                LinkFailure::RefusedReply, 0},
    FailureCase{"Stalled", [](ScriptedBridge& b) { b.readResults = {{bridge_status::kStalled, {}}}; }, OpenThenRead,
                LinkFailure::Stalled, 1},
    FailureCase{"GoneMidRead", [](ScriptedBridge& b) { b.readResults = {{bridge_status::kDeviceNotFound, {}}}; },
                OpenThenRead, LinkFailure::AdapterGone},
    FailureCase{"ShortWrite", [](ScriptedBridge& b) { b.writeResults = {{kBridgeSuccess, 2}}; }, OpenThenRead,
                LinkFailure::TransferFailed, 1},
    FailureCase{"CrcMismatch", [](ScriptedBridge& b) { b.readResults = {{kBridgeSuccess, {0x02, 0x02, 0, 0x12, 0x34}}}; },
                [](TComm& c) { return OpenIdentified(c) && c.WriteBlock(Bytes(17, 0)); }, LinkFailure::CrcMismatch, 0},
    // Nothing but the identification goes to an adapter that has not said what it is.
    FailureCase{"NotIdentified", [](ScriptedBridge&) {}, [](TComm& c) { return c.OpenAdapter() && ReadConfig(c); },
                LinkFailure::NotIdentified},
    // After a missing reply the link never falls silent: nothing more is sent.
    FailureCase{"NeverQuiet",
                [](ScriptedBridge& b) {
                    b.readResults.push_back({});
                    for (int i = 0; i < 200; ++i)
                        b.readResults.push_back({kBridgeSuccess, {0x55}});
                },
                [](TComm& c) { return OpenThenRead(c) || ReadConfig(c); }, LinkFailure::NeverQuiet}),
    [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------- CRC

TEST(Crc16Test, CheckValueTableEndsAndEmptyData)
{
    const std::string digits = "123456789";
    const Bytes data(digits.begin(), digits.end());
    EXPECT_EQ(Crc16(0, data), 0x31C3);
    EXPECT_EQ(Crc16(0xBEEF, {}), 0xBEEF);
    EXPECT_EQ(kCrc16Table[0], 0x0000);
    EXPECT_EQ(kCrc16Table[1], 0x1021);
    EXPECT_EQ(kCrc16Table[2], 0x2042);
    EXPECT_EQ(kCrc16Table[3], 0x3063);
    EXPECT_EQ(kCrc16Table[255], 0x1EF0);
}

TEST(Crc16Test, ContinuesFromInitialValue)
{
    const Bytes whole = HexBytes("01 02 03 04");
    const std::uint16_t first = Crc16(0, std::span(whole).first(2));
    EXPECT_EQ(Crc16(first, std::span(whole).subspan(2)), Crc16(0, whole));
}

}  // namespace
}  // namespace rvz
