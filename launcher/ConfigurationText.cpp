#include "launcher/ConfigurationText.h"

#include "platform/common/Utf8.h"

namespace dravik {

namespace {

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

} // namespace dravik
