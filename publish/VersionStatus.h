// DravikPublish --status: who has taken the version on the server, and who took the
// previous one but not yet this one.
#pragma once

#include "platform/PlatformServices.h"
#include "publish/ExitCode.h"
#include "publish/Publisher.h"

namespace dravik::publish {

// ExitCode::Published when no known pair is still to update, ExitCode::StillToUpdate
// when some are.
ExitCode ShowVersionStatus(PlatformServices &platform, const Text &serverFolder,
                           const PublishOutput &output);

} // namespace dravik::publish
