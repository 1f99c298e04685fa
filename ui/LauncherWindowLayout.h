#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// The launcher window as it is drawn: caption, client area, controls in twips.
WindowLayout LauncherWindowLayout();

} // namespace dravik
