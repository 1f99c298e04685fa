// The process's one folder-search cursor (FindFirstMatch / FindNextMatch).
#pragma once

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"

namespace dravik {

struct Win32Platform::Search {
    UniqueFindHandle handle; // invalid when no search is running
};

} // namespace dravik
