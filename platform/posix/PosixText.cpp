#include "platform/posix/PosixText.h"

#include <cstdlib>
#include <cstring>

#include "platform/common/CaseMapping.h"

extern char **environ;

namespace dravik {

namespace {

// A lone byte carried through the text as a low surrogate (U+DC80..U+DCFF).
constexpr char32_t kEscapedByteBase = 0xDC00;

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

void AppendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

Text TextFromUtf8(const std::string &bytes) {
    Text text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto b = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (b < 0x80) {
            length = 1;
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            length = 2;
            c = b & 0x1F;
            minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3;
            c = b & 0x0F;
            minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4;
            c = b & 0x07;
            minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = IsContinuation(next);
            c = (c << 6) | (next & 0x3F);
        }
        valid = valid && c >= minimum && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        if (valid) {
            text += static_cast<wchar_t>(c);
            i += length;
        } else {
            text += static_cast<wchar_t>(kEscapedByteBase + b);
            ++i;
        }
    }
    return text;
}

std::string Utf8FromText(const Text &text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        auto c = static_cast<char32_t>(w);
        if (c >= kEscapedByteBase + 0x80 && c <= kEscapedByteBase + 0xFF)
            out += static_cast<char>(c - kEscapedByteBase);
        else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            AppendUtf8(out, 0xFFFD);
        else
            AppendUtf8(out, c);
    }
    return out;
}

Text EnvironmentValue(const Text &name) {
    if (name.empty() || name.find(L'=') != Text::npos)
        return L"";
    std::string wanted = Utf8FromText(name);
    if (const char *exact = std::getenv(wanted.c_str()))
        return TextFromUtf8(exact);
    for (char **entry = environ; entry && *entry; ++entry) {
        const char *equals = std::strchr(*entry, '=');
        if (!equals)
            continue;
        Text entryName =
            TextFromUtf8(std::string(*entry, static_cast<std::size_t>(equals - *entry)));
        if (SameNameIgnoringCase(entryName, name))
            return TextFromUtf8(equals + 1);
    }
    return L"";
}

SingleByteCodePage ActiveCodePage() {
    return EnvironmentValue(L"DRAVIKVT_CODEPAGE") == L"1252" ? SingleByteCodePage::Windows1252
                                                             : SingleByteCodePage::Windows1250;
}

} // namespace dravik
