// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReplyLedger.h"

#include <algorithm>

namespace rvz {

void ReplyLedger::Expect(LinkTime sentAt, std::size_t replySize)
{
    if (replySize > 0)
        m_owed.push_back({sentAt, replySize});
}

ReplyLedger::Arrival ReplyLedger::Receive(std::size_t bytes, LinkTime at)
{
    Arrival arrival;
    while (bytes > 0 && !m_owed.empty()) {
        if (m_owed.size() > 1)
            arrival.answeredOlder = true;
        Owed& oldest = m_owed.front();
        const std::size_t taken = std::min(bytes, oldest.remaining);
        oldest.remaining -= taken;
        bytes -= taken;
        if (oldest.remaining == 0) {
            arrival.lateness = at - oldest.sentAt;
            m_owed.pop_front();
        }
    }
    arrival.unaccounted = bytes > 0;
    return arrival;
}

void ReplyLedger::Expire(LinkTime now)
{
    while (!m_owed.empty() && now - m_owed.front().sentAt >= m_lostAfter)
        m_owed.pop_front();
}

std::optional<LinkTime> ReplyLedger::NewestSentAt() const
{
    if (m_owed.empty())
        return std::nullopt;
    return m_owed.back().sentAt;
}

void QuietPeriod::ReplyCameLate(LinkTime lateness)
{
    m_current = std::clamp(std::max(m_current, 2 * lateness), m_base, m_limit);
}

void QuietPeriod::ExchangeInTime() { m_current = m_base + (m_current - m_base) * 3 / 4; }

}  // namespace rvz
