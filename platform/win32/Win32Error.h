// Failures built from Win32 error codes, carrying the system's own text.
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

Failure SystemFailure(DWORD code);

// A failure for the calling thread's last error; call right after the failed call.
Failure LastErrorFailure();

// The failure of a file operation: the system's text, then the files it concerns.
Failure FileFailure(DWORD code, std::vector<std::wstring> paths);
Failure LastFileFailure(std::vector<std::wstring> paths);

} // namespace dravik
