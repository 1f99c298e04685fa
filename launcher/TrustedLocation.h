// Registration of the program's parent folder as an Access 2010 trusted location.
#pragma once

#include "platform/PlatformServices.h"

namespace dravik {
namespace Global {

// True when a slot already names the parent of the program folder or a new slot
// was written for it; false when all 100 slots are taken by other folders.
bool EnsureTrustedLocation(PlatformServices &platform);

} // namespace Global
} // namespace dravik
