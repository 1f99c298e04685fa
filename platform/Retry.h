// Trying again for a while: the one way the launcher and the publish tool wait for
// something that passes (a file someone holds for a moment, a lock another process
// has), always on the platform's own sleep, so that the fake's clock runs a wait
// at once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>

#include "platform/PlatformServices.h"

namespace dravik {

// How long to keep trying: the pauses between the tries add up to `budgetMs` at
// most, each `pauseMs` plus up to `spreadMs` more.
struct RetryPlan {
    int budgetMs;
    int pauseMs;
    int spreadMs = 0;
};

// Calls `attempt` until it answers true, pausing between the tries; answers false
// when the last try, made once the budget is spent, failed too. A failure the
// attempt throws ends the retry at once. `seed` spreads the pauses, so that
// processes that start together do not try again in step.
inline bool RetryWithin(PlatformServices &platform, const RetryPlan &plan,
                        const std::function<bool()> &attempt, std::uint32_t seed = 0) {
    std::minstd_rand spread(seed);
    std::uniform_int_distribution<int> extra(0, plan.spreadMs);
    for (int waited = 0;;) {
        if (attempt())
            return true;
        if (waited >= plan.budgetMs)
            return false;
        const int pause = std::min(plan.pauseMs + extra(spread), plan.budgetMs - waited);
        platform.SleepMilliseconds(pause);
        waited += pause;
    }
}

// An append refused because another workstation holds the record file: about two
// seconds, in pauses of 20 to 60 ms.
constexpr RetryPlan kRefusedAppendRetry{2000, 20, 40};

} // namespace dravik
