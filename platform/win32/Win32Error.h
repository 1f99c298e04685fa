// The one translation of Win32 error codes: the system's own text, what the
// logic tells apart, and the failure carrying both with the code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Failure.h"

namespace dravik {

// The system's message for an error code, trailing whitespace and line ends
// removed; a plain "Error <code>" when the system has no text for it.
std::wstring SystemErrorText(DWORD code);

// How the logic tells this error apart from others.
FailureKind KindOfError(DWORD code);

// The failure for an error code, naming the files it concerns, if any.
Failure SystemFailure(DWORD code, std::vector<std::wstring> paths = {});

// The same for the calling thread's last error; call right after the failed call.
Failure LastErrorFailure(std::vector<std::wstring> paths = {});

} // namespace dravik
