#include "launcher/UpdateLock.h"

#include "launcher/SafeCopy.h"

namespace dravik {

namespace {

// A large front end over a slow network takes a while; the waiting launcher is
// not seen, so the wait stays bounded.
constexpr int kWaitMilliseconds = 60000;
constexpr int kWaitStep = 250;

} // namespace

UpdateLock::UpdateLock(PlatformServices &platform, const Text &programFolder,
                       const std::function<void()> &whileWaiting) {
    const Text path = programFolder + L"\\" + kUpdateLockName;
    for (int waited = 0;; waited += kWaitStep) {
        try {
            lock_ = platform.TryLockFile(path);
        } catch (const Failure &) {
            return; // a folder that takes no lock file takes no copies either: they say why
        }
        if (lock_)
            break;
        waitedForAnother_ = true;
        if (waited >= kWaitMilliseconds)
            return;
        if (whileWaiting)
            whileWaiting();
        platform.SleepMilliseconds(kWaitStep);
    }
    RemoveLeftoverCopies(platform, programFolder);
}

} // namespace dravik
