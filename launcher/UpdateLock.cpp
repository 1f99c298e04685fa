#include "launcher/UpdateLock.h"

#include "launcher/SafeCopy.h"
#include "platform/Retry.h"

namespace dravik {

namespace {

// A large front end over a slow network takes a while, and the launcher updating may
// wait up to two minutes for a publish twice (before it takes the version again, and
// before it records it): a shorter wait would start a second update beside it. The
// waiting launcher shows its window, and the wait stays bounded.
constexpr RetryPlan kLockWait{300000, 250};

} // namespace

UpdateLock::UpdateLock(PlatformServices &platform, const Text &programFolder,
                       const std::function<void()> &whileWaiting) {
    const Text path = programFolder + L"\\" + kUpdateLockName;
    try {
        RetryWithin(platform, kLockWait, [&] {
            lock_ = platform.TryLockFile(path);
            if (lock_)
                return true;
            waitedForAnother_ = true;
            if (whileWaiting)
                whileWaiting();
            return false;
        });
    } catch (const Failure &) {
        return; // a folder that takes no lock file takes no copies either: they say why
    }
    if (lock_)
        RemoveLeftoverCopies(platform, programFolder);
}

} // namespace dravik
