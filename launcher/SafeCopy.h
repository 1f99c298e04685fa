#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// Copies `source` over `target` so that the target is either the old file or the
// complete new one: the copy goes to a temporary file beside the target and is
// moved into place only once it is whole. On failure the temporary file is
// removed and the failure goes on to the caller.
void CopyIntoPlace(PlatformServices &platform, const Text &source, const Text &target);

// The temporary file CopyIntoPlace uses for `target`.
Text TemporaryCopyPath(const Text &target);

} // namespace dravik
