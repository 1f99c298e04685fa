// The platform the shipped program runs on: Win32 on Windows, POSIX elsewhere.
#pragma once

#include <memory>

#include "platform/PlatformServices.h"

namespace dravik {

std::unique_ptr<PlatformServices> MakeSystemPlatform();

} // namespace dravik
