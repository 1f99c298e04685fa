#include "platform/common/RefusalRetry.h"

#include <algorithm>
#include <random>

namespace dravik {

bool RetryWhileRefused(RetryPacer &pacer, const std::function<bool()> &attempt) {
    std::minstd_rand spread(pacer.Seed());
    std::uniform_int_distribution<int> pause(kRetryPauseMinMs, kRetryPauseMaxMs);
    const std::int64_t start = pacer.NowMs();
    for (;;) {
        if (attempt())
            return true;
        const std::int64_t left = kRefusedAppendRetryMs - (pacer.NowMs() - start);
        if (left <= 0)
            return false;
        pacer.PauseMs(static_cast<int>(std::min<std::int64_t>(pause(spread), left)));
    }
}

} // namespace dravik
