#include "launcher/TextRules.h"

namespace dravik {

Text TrimSpaces(const Text &text) {
    std::size_t first = text.find_first_not_of(L' ');
    if (first == Text::npos)
        return L"";
    std::size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

Text RemoveIgnoringCase(PlatformServices &platform, const Text &text, const Text &word) {
    if (word.empty())
        return text;
    // Upper-casing keeps one character per character, so positions carry over.
    Text upperText = platform.ToUpper(text);
    Text upperWord = platform.ToUpper(word);
    Text result;
    std::size_t from = 0;
    for (std::size_t at = upperText.find(upperWord); at != Text::npos;
         at = upperText.find(upperWord, from)) {
        result.append(text, from, at - from);
        from = at + word.size();
    }
    result.append(text, from, Text::npos);
    return result;
}

} // namespace dravik
