// UTF-8, the one codec of the program: strict about what it takes for UTF-8 (no
// overlong forms, no surrogates, nothing above U+10FFFF), with two ways of carrying
// bytes that are not UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace dravik {

using Text = std::wstring;

// The length of the valid UTF-8 sequence at `at`, 0 when there is none.
std::size_t Utf8SequenceAt(const std::string &bytes, std::size_t at);

// What a byte that starts no valid sequence becomes.
enum class InvalidUtf8 {
    // The character of the same number: positions in the text stay those of the bytes.
    ByteAsCharacter,
    // U+DC80..U+DCFF, which EncodeUtf8 turns back into the byte: a file name that is
    // not UTF-8 survives the trip through the program unchanged.
    EscapedByte,
};

Text DecodeUtf8(const std::string &bytes, InvalidUtf8 invalid);

// Text as UTF-8. A UTF-16 surrogate pair (a 16-bit wchar_t) is one character, an
// escaped byte goes back as the byte, and any other lone surrogate becomes U+FFFD.
std::string EncodeUtf8(const Text &text);

} // namespace dravik
