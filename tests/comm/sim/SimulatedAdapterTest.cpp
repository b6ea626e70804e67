// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated adapter behaves like an adapter with a servo attached.
#include <gtest/gtest.h>

#include "Comm.h"
#include "Crc16.h"
#include "ServoOperations.h"
#include "SimulatedAdapter.h"

namespace rvz {
namespace {

using Bytes = std::vector<std::uint8_t>;

class SimulatedAdapterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Connect(comm, false).Identified()); }

    Bytes Exchange(const Bytes& command, std::size_t replySize)
    {
        EXPECT_TRUE(comm.AdapterWrite(command));
        Bytes reply(replySize);
        reply.resize(static_cast<std::size_t>(comm.AdapterRead(reply)));
        return reply;
    }

    SimulatedAdapter sim;
    TComm comm{sim};
};

TEST_F(SimulatedAdapterTest, IdentifiesWithKeyByte)
{
    std::array<std::uint8_t, 22> id{};
    ASSERT_TRUE(comm.QueryAdapterInfo(id));
    EXPECT_EQ(id[21], 0xA0);
}

TEST_F(SimulatedAdapterTest, ReadsFactoryRegisters)
{
    std::array<std::uint8_t, 16> record{};
    const std::array<std::uint8_t, 16> all{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    ASSERT_TRUE(comm.ReadRegisters(record, all, 16));
    EXPECT_EQ(record, SimulatedAdapter::kFactoryRegisters);
}

TEST_F(SimulatedAdapterTest, RegisterWriteChangesOnlySelectedRegisters)
{
    auto record = SimulatedAdapter::kFactoryRegisters;
    record[1] = 0x11;
    record[8] = 0x88;
    record[14] = 0x77;  // outside the mask
    ASSERT_TRUE(comm.WriteRegisters(record, ConfigMask, 11));
    EXPECT_EQ(sim.ServoRegisters()[1], 0x11);
    EXPECT_EQ(sim.ServoRegisters()[8], 0x88);
    EXPECT_EQ(sim.ServoRegisters()[14], 0x05);
}

TEST_F(SimulatedAdapterTest, DataWithoutSelectAndAddressesOutsideBankAreRefused)
{
    EXPECT_EQ(Exchange({0x23, 0x02, 0x00, 0x42}, 3), (Bytes{0x02, 0x00, 0x00}));
    EXPECT_EQ(Exchange({0x23, 0x03, 0x40, 0x00}, 3), (Bytes{0x02, 0x00, 0x00}));
    EXPECT_EQ(Exchange({0x23, 0x03, 0x0F, 0x00}, 3), (Bytes{0x02, 0x00, 0x00})) << "register 16 does not exist";
    EXPECT_EQ(sim.ServoRegisters(), SimulatedAdapter::kFactoryRegisters);
}

TEST_F(SimulatedAdapterTest, BankOfRegisterZeroMovesTheAddresses)
{
    auto registers = SimulatedAdapter::kFactoryRegisters;
    registers[0] = 0xA5;
    sim.SetServoRegisters(registers);
    EXPECT_EQ(Exchange({0x23, 0x03, 0xA0, 0x00}, 3), (Bytes{0x02, 0x02, 0x23}));
}

TEST_F(SimulatedAdapterTest, BlockWithMatchingCrcIsStoredAndEchoed)
{
    Bytes block(SimulatedAdapter::kFactoryRegisters.begin(), SimulatedAdapter::kFactoryRegisters.end());
    block[14] = 0x06;
    block.push_back(0x00);
    ASSERT_TRUE(comm.WriteBlock(block));
    EXPECT_EQ(sim.ServoRegisters()[14], 0x06);
}

TEST_F(SimulatedAdapterTest, BlockWithWrongCrcIsRefused)
{
    Bytes frame{0x22, 0x40};
    frame.insert(frame.end(), 17, 0x01);
    const std::uint16_t crc = Crc16(0, std::span(frame).subspan(2));
    frame.push_back(static_cast<std::uint8_t>((crc & 0xFF) ^ 1));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    const Bytes reply = Exchange(frame, 5);
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[1] & 0x02, 0);
    EXPECT_EQ(sim.ServoRegisters(), SimulatedAdapter::kFactoryRegisters);
}

TEST_F(SimulatedAdapterTest, UnknownCommandGetsNegativeReply)
{
    EXPECT_EQ(Exchange({0x30, 0x01}, 3), (Bytes{0x02, 0x00, 0x00}));
    EXPECT_EQ(Exchange({0x23, 0x09, 0x00, 0x00}, 3), (Bytes{0x02, 0x00, 0x00}));
}

TEST_F(SimulatedAdapterTest, ReadForMoreThanWaitingGivesWhatIsWaiting)
{
    EXPECT_EQ(Exchange({0x23, 0x00, 0x00, 0x00}, 8), (Bytes{0x02, 0x02, 0x00}));
}

TEST_F(SimulatedAdapterTest, UnplugKillsHandleAndPlugReopens)
{
    sim.Unplug();
    EXPECT_FALSE(comm.ProbeServo());
    EXPECT_FALSE(comm.OpenAdapter());
    EXPECT_EQ(comm.AdapterHandle(), kNullHandle);
    sim.Plug();
    EXPECT_TRUE(comm.OpenAdapter());
    EXPECT_TRUE(Connect(comm, true).stage == LinkStage::ServoAnswers);
}

TEST_F(SimulatedAdapterTest, SilentServoAndDroppedRepliesFailExchanges)
{
    sim.DropReplies(1);
    EXPECT_FALSE(comm.ProbeServo());
    EXPECT_TRUE(comm.ProbeServo());
    sim.SetServoSilent(true);
    EXPECT_FALSE(comm.ProbeServo());
    std::array<std::uint8_t, 22> id{};
    EXPECT_TRUE(comm.QueryAdapterInfo(id)) << "the adapter itself still answers";
}

}  // namespace
}  // namespace rvz
