// Text at the Win32 boundary. Files, registry strings and the "A" functions use
// the system's ANSI code page; the program's own text is UTF-16.
#pragma once

#include <string>

#include "platform/Failure.h"

namespace dravik {

// Program text to the ANSI code page, as every ANSI program converts it: a letter
// the code page lacks becomes its nearest one ("Č" becomes "C" in code page 1252)
// or, where there is none, the default character "?". Never fails.
std::string ToAnsi(const std::wstring &text);

// A path to the ANSI code page for the "A" file functions, letter for letter: a
// letter the code page lacks fails, naming the path, rather than becoming a
// look-alike ("Ā" as "A") that names another file or folder.
std::string ToAnsiPath(const std::wstring &path);

// ANSI bytes to program text, one character per byte whatever the code page, so
// that positions and counts taken in bytes hold in characters too. A byte that
// forms no character of its own (a lead byte of a double-byte code page) becomes
// "?". Never fails.
std::wstring FromAnsi(const std::string &bytes);

// Program text to UTF-8, for text that must survive whatever the ANSI code page is.
std::string ToUtf8(const std::wstring &text);

} // namespace dravik
