// Conversions at the POSIX boundary: file names, environment and terminal are
// UTF-8; text files and registry strings use a single-byte Windows code page.
#pragma once

#include <string>

#include "platform/PlatformServices.h"
#include "platform/common/CodePage.h"
#include "platform/common/Utf8.h"

namespace dravik {

// UTF-8 to text. A byte that is not part of valid UTF-8 becomes U+DC80..U+DCFF,
// so that any name read from the disk converts back to the same bytes.
inline Text TextFromUtf8(const std::string &bytes) {
    return DecodeUtf8(bytes, InvalidUtf8::EscapedByte);
}
inline std::string Utf8FromText(const Text &text) {
    return EncodeUtf8(text);
}

// The environment variable, its name matched exactly first, then without regard
// to letter case; "" when unset.
Text EnvironmentValue(const Text &name);

// Windows-1250 unless DRAVIKVT_CODEPAGE asks for 1252.
SingleByteCodePage ActiveCodePage();

} // namespace dravik
