// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The replies the session still waits for, in the order their commands went
// out. The servo answers in order, once per command, so every byte that
// comes in belongs to the oldest reply not yet complete. A reply read while
// an older one is still owed may therefore be that older command's: the
// ledger tells the session when it cannot be sure whose reply it took.

#include <cstddef>
#include <deque>
#include <optional>

#include "LinkClock.h"

namespace rvz {

class ReplyLedger {
public:
    // A reply not complete this long after its command counts as lost: the
    // bound within which a late reply is always told from the next one's.
    explicit ReplyLedger(LinkTime lostAfter) : m_lostAfter(lostAfter) {}

    // The size of a reply whose command is not known (one that another
    // program sent): every byte that comes goes to it, until it is lost.
    static constexpr std::size_t kUnknownReplySize = static_cast<std::size_t>(-1);

    // A command went out at sentAt; replySize bytes are due for it.
    void Expect(LinkTime sentAt, std::size_t replySize);

    struct Arrival {
        // Some of the bytes completed or went to a reply older than the
        // newest one owed.
        bool answeredOlder = false;
        // How long after its command the last reply they completed came.
        std::optional<LinkTime> lateness;
        // Bytes beyond every reply owed: a reply later than the bound, or noise.
        bool unaccounted = false;
    };
    // Bytes came in at `at`; they go to the oldest replies first.
    Arrival Receive(std::size_t bytes, LinkTime at);

    // Drops the replies whose time ran out by now. Only for a link just
    // read empty: a reply that came in time may wait in a buffer unread.
    void Expire(LinkTime now);
    bool Empty() const { return m_owed.empty(); }
    // When the command of the newest reply owed went out; none when nothing is owed.
    std::optional<LinkTime> NewestSentAt() const;
    void Clear() { m_owed.clear(); }

private:
    struct Owed {
        LinkTime sentAt;
        std::size_t remaining;
    };
    LinkTime m_lostAfter;
    std::deque<Owed> m_owed;
};

// How long after its command a reply that went missing is waited for
// before the session takes it as lost. It starts at base, grows to cover
// the latest reply seen arriving late (twice that, for the next one's
// jitter), never beyond limit, and shrinks back a little with every
// exchange that came in time.
class QuietPeriod {
public:
    QuietPeriod(LinkTime base, LinkTime limit) : m_base(base), m_limit(limit), m_current(base) {}
    LinkTime Current() const { return m_current; }
    void ReplyCameLate(LinkTime lateness);
    void ExchangeInTime();
    void Reset() { m_current = m_base; }

private:
    LinkTime m_base;
    LinkTime m_limit;
    LinkTime m_current;
};

}  // namespace rvz
