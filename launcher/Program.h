#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// Creates the window hidden, runs the start-up handler, then the event loop for
// as long as the window exists. Returns the process's exit code.
int RunLauncher(PlatformServices &platform);

} // namespace dravik
