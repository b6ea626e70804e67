// SPDX-License-Identifier: GPL-3.0-or-later
#include "OwedReplies.h"

#include <algorithm>

namespace rvz {

void OwedReplies::CommandSent(LinkTime at, std::size_t replySize)
{
    m_lastTraffic = at;
    if (replySize > 0)
        m_owed.push_back({at, replySize});
}

void OwedReplies::InheritOwed(LinkTime until)
{
    m_owed.push_back({until - m_bound, kUnknownReplySize});
    m_mustSettle = true;
    m_lastProgramOwes = true;
}

bool OwedReplies::ReplyBytesCame(std::size_t bytes, std::size_t wanted, LinkTime at)
{
    if (bytes == 0)
        return false;
    if (Receive(bytes, at).answeredOlder)
        return true;
    if (bytes == wanted)
        ShrinkWait();
    return false;
}

void OwedReplies::StrayBytesCame(std::size_t bytes, LinkTime at)
{
    // Bytes beyond every reply owed came later than the bound: the servo
    // answers that late, so the wait covers it from now.
    if (bytes > 0 && Receive(bytes, at).unaccounted)
        CoverLateness(m_bound);
}

OwedReplies::Arrival OwedReplies::Receive(std::size_t bytes, LinkTime at)
{
    m_lastTraffic = at;
    Arrival arrival;
    std::optional<LinkTime> lateness;  // of the last reply these bytes completed
    while (bytes > 0 && !m_owed.empty()) {
        if (m_owed.size() > 1)
            arrival.answeredOlder = true;
        Owed& oldest = m_owed.front();
        const std::size_t taken = std::min(bytes, oldest.remaining);
        oldest.remaining -= taken;
        bytes -= taken;
        if (oldest.remaining == 0) {
            lateness = at - oldest.sentAt;
            m_owed.pop_front();
        }
    }
    if (lateness && *lateness > m_readTimeout)
        CoverLateness(*lateness);
    arrival.unaccounted = bytes > 0;
    return arrival;
}

void OwedReplies::ReadEmpty(LinkTime now)
{
    while (!m_owed.empty() && now - m_owed.front().sentAt >= m_bound)
        m_owed.pop_front();
}

void OwedReplies::Reset()
{
    // The last traffic stays: the link's silence goes on across sessions.
    m_owed.clear();
    m_lateReplyWait = m_requiredSilence;
    m_mustSettle = false;
    m_lastProgramOwes = false;
}

LinkTime OwedReplies::OwedUntil(LinkTime since, bool everything) const
{
    if (m_owed.empty())
        return since;
    return m_owed.back().sentAt + (everything || m_lastProgramOwes ? m_bound : m_lateReplyWait);
}

LinkTime OwedReplies::QuietAt(LinkTime since, bool everything) const
{
    return std::max(m_lastTraffic + m_requiredSilence, OwedUntil(since, everything));
}

void OwedReplies::CoverLateness(LinkTime lateness)
{
    m_lateReplyWait = std::clamp(std::max(m_lateReplyWait, 2 * lateness), m_requiredSilence, m_bound);
}

}  // namespace rvz
