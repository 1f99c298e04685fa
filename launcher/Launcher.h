// Running the launcher as a whole: its window, its start-up, its event loop, and
// the exit code the process ends with. (StartProgram, by contrast, starts Access.)
#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// The process's exit code, for administrators' scripts.
enum LauncherExitCode : int {
    kExitAccessStarted = 0,  // Access started (warnings included), or maintenance ended
    kExitSettingsFailed = 1, // DravikVT.txt or the window failed, before any check
    kExitStartupFailed = 2,  // the check, the update or the start of Access failed
    kExitButtonFailed = 3,   // a maintenance button's action failed
    kExitNoTrustedSlot = 4,  // all trusted-location slots taken: Access not started
};

// Creates the window hidden, runs the start-up handler, then the event loop for
// as long as the window exists. Returns the process's exit code.
int RunLauncher(PlatformServices &platform);

} // namespace dravik
