// SPDX-License-Identifier: GPL-3.0-or-later
// The account of replies owed, on its own in virtual time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "OwedReplies.h"

namespace rvz {
namespace {

constexpr LinkTime kSilence{300};
constexpr LinkTime kBound{1500};
constexpr LinkTime kNever{-1000000};  // `since` that tells "nothing owed" apart

OwedReplies Account() { return OwedReplies(kSilence, kBound, LinkTime{50}); }
bool Owes(const OwedReplies& owed) { return owed.OwedUntil(kNever, false) != kNever; }

TEST(OwedRepliesTest, BytesGoToTheOldestReplyFirst)
{
    OwedReplies owed = Account();
    owed.CommandSent(LinkTime{0}, 3);
    owed.CommandSent(LinkTime{10}, 3);
    EXPECT_TRUE(owed.ReplyBytesCame(3, 3, LinkTime{200})) << "the first command's reply, come late";
    EXPECT_EQ(owed.LateReplyWait(), LinkTime{400}) << "twice the 200 ms it took";
    EXPECT_FALSE(owed.ReplyBytesCame(3, 3, LinkTime{210}));
    EXPECT_FALSE(Owes(owed));
}

TEST(OwedRepliesTest, AReplyIsLostAtTheBoundAndWhatComesAfterGrowsTheWaitToIt)
{
    OwedReplies owed = Account();
    owed.CommandSent(LinkTime{0}, 3);
    owed.ReadEmpty(kBound - LinkTime{1});
    EXPECT_TRUE(Owes(owed));
    owed.ReadEmpty(kBound);
    EXPECT_FALSE(Owes(owed));
    owed.StrayBytesCame(3, kBound + LinkTime{5});
    EXPECT_EQ(owed.LateReplyWait(), kBound);
}

// Random commands, replies whole, cut, late or lost, and stray bytes: the
// waits stay within the bound, and once it has passed nothing is owed.
TEST(OwedRepliesTest, WaitsStayWithinTheBound)
{
    const char* given = std::getenv("RVZ_PROPERTY_SEED");
    const std::uint64_t seed = given && *given ? std::strtoull(given, nullptr, 0) : 20261209;
    std::printf("seed %llu (RVZ_PROPERTY_SEED changes it)\n", static_cast<unsigned long long>(seed));
    std::mt19937_64 random(seed);
    const auto draw = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    OwedReplies owed = Account();
    LinkTime now{0}, lastTraffic{0}, lastAsked = kNever;
    for (int step = 0; step < 20000; ++step) {
        SCOPED_TRACE("step " + std::to_string(step) + " of seed " + std::to_string(seed));
        now += LinkTime{draw(0, 3) == 0 ? draw(0, 2000) : draw(0, 60)};
        const auto bytes = static_cast<std::size_t>(draw(0, 6));
        const int what = draw(0, 3);
        if (what == 0)
            owed.CommandSent(now, bytes);
        else if (what == 1)
            owed.ReplyBytesCame(bytes, 3, now);
        else if (what == 2)
            owed.StrayBytesCame(bytes, now);
        else
            owed.ReadEmpty(now);
        lastAsked = what == 0 && bytes > 0 ? now : lastAsked;
        lastTraffic = what == 0 || (what < 3 && bytes > 0) ? now : lastTraffic;
        ASSERT_FALSE(what == 3 && now >= lastAsked + kBound && Owes(owed));
        ASSERT_TRUE(owed.LateReplyWait() >= kSilence && owed.LateReplyWait() <= kBound);
        ASSERT_GE(owed.QuietAt(kNever, false), lastTraffic + kSilence);
        ASSERT_TRUE(!Owes(owed) || owed.OwedUntil(kNever, true) == lastAsked + kBound);
    }
}

}  // namespace
}  // namespace rvz
