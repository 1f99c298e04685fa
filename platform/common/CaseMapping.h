// Letter-case mapping shared by the POSIX platform and the test fake, so that
// both map the letters of the Windows code pages the way Windows does.
#pragma once

#include <string>

namespace dravik {

wchar_t UpperChar(wchar_t c);
wchar_t LowerChar(wchar_t c);
std::wstring UpperText(std::wstring text);
std::wstring LowerText(std::wstring text);
// Case-insensitive equality of two names, as file systems on Windows compare them.
bool SameNameIgnoringCase(const std::wstring &a, const std::wstring &b);

} // namespace dravik
