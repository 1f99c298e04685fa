// DravikPublish's command line:
//   DravikPublish [--wait SECONDS] <folder with the new version> <server folder>
//   DravikPublish [--wait SECONDS] --rollback <server folder>
//   DravikPublish --status <server folder>
#pragma once

#include <vector>

#include "platform/PlatformServices.h"
#include "publish/ExitCode.h"
#include "publish/Publisher.h"

namespace dravik::publish {

// Reads the arguments (those after the program's name) and publishes. A wrong
// command line gets the usage and ExitCode::Usage.
ExitCode RunPublishCommand(PlatformServices &platform, const std::vector<Text> &arguments,
                           const PublishOutput &output);

} // namespace dravik::publish
