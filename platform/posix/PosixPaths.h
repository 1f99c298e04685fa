// Paths as the launcher writes them ("\" or "/" separated), resolved on a
// case-sensitive file system the way Windows would find them: each component
// without regard to letter case.
#pragma once

#include <string>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik {

bool IsPathSeparator(wchar_t c);

// The native (UTF-8, "/"-separated) path. Each existing component is taken by its
// exact name, else by the name on disk that equals it ignoring case; from the first
// component found in no case on, the names stay as given. A trailing separator is
// kept, so that a file named with one is not opened as a file.
std::string ResolvePath(const Text &path);

// The entries of a folder except "." and "..", raw names; empty when unreadable.
std::vector<std::string> FolderEntries(const std::string &folder);

} // namespace dravik
