// Failures built from Win32 error codes, carrying the system's own text.
#pragma once

#include <windows.h>

#include "platform/Failure.h"

namespace dravik {

// The system's message for an error code, trailing whitespace and line ends
// removed; a plain "Error <code>" when the system has no text for it.
std::wstring SystemErrorText(DWORD code);

// A sharing or lock violation is marked as a file in use.
Failure SystemFailure(DWORD code);

// A failure for the calling thread's last error; call right after the failed call.
Failure LastErrorFailure();

} // namespace dravik
