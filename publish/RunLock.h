// One DravikPublish at a time on a server folder: a publish and a rollback hold
// <server>\DravikPublish\Publish.lock from before they change anything until they
// end. Two runs at once would take each other's copies for leftovers and mix two
// versions on the server. --status only reads, and takes no lock.
#pragma once

#include <memory>

#include "platform/PlatformServices.h"
#include "publish/ExitCode.h"
#include "publish/KeptVersion.h"
#include "publish/Publisher.h"

namespace dravik::publish {

// Takes the lock into `lock`, waiting about 2 s for a run that is just ending.
// Answers Published when it is held, else says why and answers the code to end with.
ExitCode TakeRunLock(PlatformServices &platform, const Text &serverFolder, const KeptPlace &place,
                     const PublishOutput &output, std::unique_ptr<FileLock> &lock);

} // namespace dravik::publish
