#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// The text of the exception being handled; call only inside a catch block.
// A failure of the launcher's own gives its description; anything else a plain text.
Text CurrentFailureText();

} // namespace dravik
