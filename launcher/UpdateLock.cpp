#include "launcher/UpdateLock.h"

#include "launcher/SafeCopy.h"
#include "platform/Retry.h"

namespace dravik {

namespace {

// A large front end over a slow network takes a while; the waiting launcher is
// not seen, so the wait stays bounded.
constexpr RetryPlan kLockWait{60000, 250};

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
