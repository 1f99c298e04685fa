#include "platform/common/Utf8.h"

namespace dravik {

namespace {

constexpr char32_t kEscapedByteBase = 0xDC00;

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

void AppendCharacter(Text &text, char32_t code) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (code > 0xFFFF) { // a surrogate pair in UTF-16
            code -= 0x10000;
            text += static_cast<wchar_t>(0xD800 + (code >> 10));
            text += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
            return;
        }
    }
    text += static_cast<wchar_t>(code);
}

} // namespace

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

Text DecodeUtf8(const std::string &bytes, InvalidUtf8 invalid) {
    Text text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = Utf8SequenceAt(bytes, at);
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (length == 0) {
            text += static_cast<wchar_t>(
                invalid == InvalidUtf8::EscapedByte ? kEscapedByteBase + lead : lead);
            ++at;
            continue;
        }
        char32_t code = lead;
        if (length > 1) {
            code &= 0x7Fu >> length;
            for (std::size_t i = 1; i < length; ++i)
                code = (code << 6) | (static_cast<unsigned char>(bytes[at + i]) & 0x3Fu);
        }
        at += length;
        AppendCharacter(text, code);
    }
    return text;
}

std::string EncodeUtf8(const Text &text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<char32_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const auto low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (c >= kEscapedByteBase + 0x80 && c <= kEscapedByteBase + 0xFF)
            out += static_cast<char>(c - kEscapedByteBase);
        else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            AppendUtf8(out, 0xFFFD);
        else
            AppendUtf8(out, c);
    }
    return out;
}

} // namespace dravik
