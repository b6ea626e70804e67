// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Time as the adapter session sees it: a monotonic count of milliseconds and
// a way to let time pass. The session waits out late replies with it; the
// simulated adapter can share one with the session, so that tests run the
// same waits in virtual time.

#include <chrono>

namespace rvz {

using LinkTime = std::chrono::milliseconds;

class LinkClock {
public:
    virtual ~LinkClock() = default;
    virtual LinkTime Now() = 0;
    virtual void SleepFor(LinkTime duration) = 0;
};

// The machine's monotonic clock; one instance serves the whole program.
LinkClock& SteadyLinkClock();

// A clock that moves only when it is slept on, for tests and simulations
// that must not depend on how busy the machine is.
class ManualLinkClock final : public LinkClock {
public:
    LinkTime Now() override { return m_now; }
    void SleepFor(LinkTime duration) override
    {
        if (duration.count() > 0)
            m_now += duration;
    }

private:
    LinkTime m_now{0};
};

}  // namespace rvz
