// One launcher at a time updates a program folder: a double click, or two users
// sharing one folder, would otherwise copy over each other.
#pragma once

#include <memory>

#include "platform/PlatformServices.h"

namespace dravik {

class UpdateLock {
public:
    // Takes the lock file of `programFolder`, waiting while another launcher holds
    // it, for about a minute at most. Then the update goes on without it, so that a
    // launcher never ends without starting Access. The holder first removes what an
    // interrupted update left behind. `whileWaiting` runs at every step of a wait.
    UpdateLock(PlatformServices &platform, const Text &programFolder,
               const std::function<void()> &whileWaiting = {});

    // Whether another launcher held the folder: it may have just brought it up to date.
    bool WaitedForAnother() const { return waitedForAnother_; }

private:
    std::unique_ptr<FileLock> lock_;
    bool waitedForAnother_ = false;
};

// The lock file, in the program folder beside the files it guards.
inline const Text kUpdateLockName = L"DravikVT.lock";

} // namespace dravik
