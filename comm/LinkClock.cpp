// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkClock.h"

#include <thread>

namespace rvz {

namespace {

class SteadyClock final : public LinkClock {
public:
    LinkTime Now() override
    {
        return std::chrono::duration_cast<LinkTime>(std::chrono::steady_clock::now().time_since_epoch());
    }
    void SleepFor(LinkTime duration) override
    {
        if (duration.count() > 0)
            std::this_thread::sleep_for(duration);
    }
};

}  // namespace

LinkClock& SteadyLinkClock()
{
    static SteadyClock clock;
    return clock;
}

}  // namespace rvz
