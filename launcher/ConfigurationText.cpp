#include "launcher/ConfigurationText.h"

#include <cstdint>

namespace dravik {

namespace {

// The length of the valid UTF-8 sequence at `at`, 0 when there is none: no
// overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t Utf8SequenceAt(const std::string &bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong below
        if (lead == 0xED)
            high = 0x9F; // surrogates above
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = at + 2; i < at + length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

// NULs at every other byte, and nowhere else: text of Latin letters in UTF-16.
bool NulsBetweenLetters(const std::string &line) {
    if (line.size() < 4)
        return false;
    bool evenNul = true, evenText = true, oddNul = true, oddText = true;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool nul = line[i] == '\0';
        bool &isNul = i % 2 == 0 ? evenNul : oddNul;
        bool &isText = i % 2 == 0 ? evenText : oddText;
        isNul = isNul && nul;
        isText = isText && !nul;
    }
    return (evenNul && oddText) || (oddNul && evenText);
}

} // namespace

void ConfigurationEncoding::Look(const std::string &line) {
    if (first_ && line.size() >= 2 &&
        ((line[0] == '\xFF' && line[1] == '\xFE') || (line[0] == '\xFE' && line[1] == '\xFF')))
        utf16_ = true;
    first_ = false;
    utf16_ = utf16_ || NulsBetweenLetters(line);
    for (std::size_t at = 0; at < line.size() && validUtf8_;) {
        const std::size_t length = Utf8SequenceAt(line, at);
        validUtf8_ = length != 0;
        highBytes_ = highBytes_ || length > 1;
        at += length;
    }
}

Text TextFromUtf8Bytes(const std::string &bytes) {
    Text text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t length = Utf8SequenceAt(bytes, at);
        if (length == 0) { // not reached for valid input; one character a byte keeps positions
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[at++]));
            continue;
        }
        std::uint32_t code = static_cast<unsigned char>(bytes[at]);
        if (length > 1) {
            code &= 0x7Fu >> length;
            for (std::size_t i = 1; i < length; ++i)
                code = (code << 6) | (static_cast<unsigned char>(bytes[at + i]) & 0x3Fu);
        }
        at += length;
        if constexpr (sizeof(wchar_t) == 2) {
            if (code > 0xFFFF) { // a surrogate pair in UTF-16
                code -= 0x10000;
                text += static_cast<wchar_t>(0xD800 + (code >> 10));
                text += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
                continue;
            }
        }
        text += static_cast<wchar_t>(code);
    }
    return text;
}

} // namespace dravik
