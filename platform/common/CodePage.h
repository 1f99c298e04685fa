// Single-byte Windows code pages, for platforms that have no ANSI code page of
// their own (POSIX) and for the test fake. One byte is always one character.
#pragma once

#include <string>

namespace dravik {

enum class SingleByteCodePage { Windows1250, Windows1252 };

std::wstring DecodeSingleByte(const std::string &bytes, SingleByteCodePage page);
// The same into `out`, reusing its storage: for reading long files line by line.
void DecodeSingleByteInto(const char *bytes, std::size_t count, SingleByteCodePage page,
                          std::wstring &out);
// Characters the code page lacks become "?".
std::string EncodeSingleByte(const std::wstring &text, SingleByteCodePage page);

} // namespace dravik
