// Small text rules the launcher applies to configuration values and record lines.
#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// Removes leading and trailing spaces only; tabs stay.
Text TrimSpaces(const Text &text);

// Removes every occurrence of `word`, letters compared without regard to case.
Text RemoveIgnoringCase(PlatformServices &platform, const Text &text, const Text &word);

} // namespace dravik
