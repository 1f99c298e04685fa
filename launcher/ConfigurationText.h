// How DravikVT.txt is written. Notepad saves in the ANSI code page, as UTF-8 (the
// default on current Windows, with or without a byte-order mark), or as UTF-16,
// which it calls "Unicode". The choice needs the whole file, so the file's lines
// are looked at as bytes first, then read as the look decided.
#pragma once

#include <string>

#include "platform/PlatformServices.h"

namespace dravik {

class ConfigurationEncoding {
public:
    // Takes the file's lines as bytes, in order, without their line ends.
    void Look(const std::string &line);

    // A byte-order mark of UTF-16, or NULs between the letters.
    bool IsUtf16() const { return utf16_; }
    // Valid UTF-8 as a whole, with bytes above 127: read as UTF-8. Anything else is
    // read in the ANSI code page.
    bool IsUtf8() const { return validUtf8_ && highBytes_; }

private:
    bool first_ = true;
    bool utf16_ = false;
    bool validUtf8_ = true;
    bool highBytes_ = false;
};

// The UTF-8 byte-order mark, skipped at the start of the file.
inline const std::string kUtf8ByteOrderMark = "\xEF\xBB\xBF";

} // namespace dravik
