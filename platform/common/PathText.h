// Path and text rules that every platform implementation shares, so that a
// pattern, a parent folder or a line means the same everywhere.
#pragma once

#include <string>

namespace dravik {

// The parent folder as the Windows scripting runtime's GetParentFolderName gives
// it, computed on the string alone: trailing separators are skipped, then the
// last component and the separators before it. A drive's top folder keeps its
// separator ("C:\a" gives "C:\"), and so does a network share's top folder
// ("\\srv\share\dir" gives "\\srv\share\"). Both "\" and "/" separate.
std::wstring ParentFolderName(const std::wstring &path);

// Windows wildcard rules: letter case ignored, "*" any run of characters, "?"
// exactly one, and a pattern ending in ".*" also matches a name with no dot.
bool WildcardMatch(const std::wstring &pattern, const std::wstring &name);

} // namespace dravik
