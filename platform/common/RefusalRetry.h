// How an append that another program refuses is tried again. The record file is
// shared by every workstation, and two of them that finish an update together
// would otherwise collide: one of them would fail after copying everything.
#pragma once

#include <cstdint>
#include <functional>

namespace dravik {

// The clock and the pauses the retry runs on: the system's in the product, a
// clock of its own in the fake, so that a test need not wait.
class RetryPacer {
public:
    virtual ~RetryPacer() = default;
    // Milliseconds on a clock that never goes back.
    virtual std::int64_t NowMs() = 0;
    virtual void PauseMs(int milliseconds) = 0;
    // Seeds the spread of the pauses; it should differ between processes that
    // start together, so that they do not try again in step.
    virtual std::uint32_t Seed() = 0;
};

// About two seconds in all, in pauses of 20 to 60 ms.
constexpr std::int64_t kRefusedAppendRetryMs = 2000;
constexpr int kRetryPauseMinMs = 20;
constexpr int kRetryPauseMaxMs = 60;

// Calls `attempt` until it answers true (done) or has answered false (refused by
// another holder of the file) for the whole retry time; answers whether it was
// done. The last try comes when the time is up. Any other failure is the
// attempt's own to throw, and ends the retry at once.
bool RetryWhileRefused(RetryPacer &pacer, const std::function<bool()> &attempt);

} // namespace dravik
