// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The replies the link may still bring, and so when the session may send
// again. The servo answers in order, once per command, so every byte that
// comes in belongs to the oldest reply not yet complete; a reply read while
// an older one is still owed may therefore be that older command's. This
// only keeps account: the session reads, writes and keeps the time, and
// tells it what happened when.

#include <cstddef>
#include <deque>
#include <optional>

#include "LinkClock.h"

namespace rvz {

class OwedReplies {
public:
    // requiredSilence: how long the link must have carried nothing to count
    // as quiet; the late-reply wait starts there. bound: a reply not complete
    // this long after its command counts as lost, so no wait goes beyond it.
    // readTimeout: a reply that takes longer than this came late.
    OwedReplies(LinkTime requiredSilence, LinkTime bound, LinkTime readTimeout)
        : m_requiredSilence(requiredSilence), m_bound(bound), m_readTimeout(readTimeout),
          m_lateReplyWait(requiredSilence)
    {
    }

    // A command went out at `at`; replySize bytes are due for it (0: none).
    void CommandSent(LinkTime at, std::size_t replySize);
    // The last program on the adapter may still be answered until `until`:
    // every byte that comes before then is its reply, and the link is let
    // fall quiet until nothing can still be owed, before any command of ours.
    void InheritOwed(LinkTime until);
    // A reply read got bytes of the wanted at `at`. True when some went to an
    // older reply than the newest owed: what was read may be that one's.
    bool ReplyBytesCame(std::size_t bytes, std::size_t wanted, LinkTime at);
    // Bytes that came while the link was let fall quiet, to be dropped.
    void StrayBytesCame(std::size_t bytes, LinkTime at);
    // A read found the link empty, and nothing has come since, by `now`: the
    // replies whose time ran out are lost. Not before such a read: a reply
    // that came in time may still wait unread in the adapter's buffer.
    void ReadEmpty(LinkTime now);
    // An exchange went wrong: its reply, or the rest of it, may still come.
    void ExchangeFailed() { m_mustSettle = true; }
    // The link was found quiet; what is still owed stays owed.
    void Settled()
    {
        m_mustSettle = false;
        m_lastProgramOwes = false;
    }
    // The session closed: what the servo still owes is no longer ours to wait for.
    void Reset();

    // The next command must first let the link fall quiet.
    bool MustSettle() const { return m_mustSettle; }
    // Nothing of ours has gone out yet: what may come is the last program's.
    bool WaitsForLastProgram() const { return m_lastProgramOwes; }
    bool MayBeOnItsWay() const { return m_mustSettle || !m_owed.empty(); }
    // Until when the newest reply owed is waited for: the late-reply wait
    // after its command, or the bound with everything (and while the last
    // program's reply is owed); `since` when nothing is owed.
    LinkTime OwedUntil(LinkTime since, bool everything) const;
    // When the link can count as quiet, should nothing more come: the newest
    // reply owed waited for, and the required silence since the last traffic.
    LinkTime QuietAt(LinkTime since, bool everything) const;
    // How long after its command a missing reply is now waited for.
    LinkTime LateReplyWait() const { return m_lateReplyWait; }

private:
    struct Owed {
        LinkTime sentAt;
        std::size_t remaining;
    };
    struct Arrival {
        bool answeredOlder = false;
        bool unaccounted = false;  // beyond every reply owed: later than the bound, or noise
    };
    // A reply whose command is not known (another program's) takes every byte.
    static constexpr std::size_t kUnknownReplySize = static_cast<std::size_t>(-1);

    Arrival Receive(std::size_t bytes, LinkTime at);
    // The wait grows to twice the latest lateness seen, for the next
    // reply's jitter, and shrinks back a quarter of its growth with every
    // reply that came whole and in time.
    void CoverLateness(LinkTime lateness);
    void ShrinkWait() { m_lateReplyWait = m_requiredSilence + (m_lateReplyWait - m_requiredSilence) * 3 / 4; }

    LinkTime m_requiredSilence;
    LinkTime m_bound;
    LinkTime m_readTimeout;
    std::deque<Owed> m_owed;  // oldest first
    LinkTime m_lateReplyWait;
    LinkTime m_lastTraffic{0};  // when the last command went out or byte came in
    bool m_mustSettle = false;
    bool m_lastProgramOwes = false;
};

}  // namespace rvz
