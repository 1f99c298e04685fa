// The modal text prompt: a dialog built in memory, no resource file.
#pragma once

#include <windows.h>

#include "platform/PlatformServices.h"

namespace dravik::win32ui {

// Shows the prompt with an empty text field, OK (default) and Cancel. Returns
// the typed text on OK (or Enter); Cancel, Escape and closing answer "".
Text RunTextPrompt(HWND owner, const Text &title, const Text &prompt);

} // namespace dravik::win32ui
