// Cutting text at separators, the one way every list in the program is read (a
// PATH, the held keys, a registry key's path, the folders of the Access path).
#pragma once

#include <string>
#include <vector>

namespace dravik {

// The pieces of `text` between any of `separators`, in order, empty ones included:
// "a;;b;" gives "a", "", "b", "".
inline std::vector<std::wstring> SplitAtAny(const std::wstring &text, const wchar_t *separators) {
    std::vector<std::wstring> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find_first_of(separators, start);
        pieces.push_back(text.substr(start, end == std::wstring::npos ? end : end - start));
        if (end == std::wstring::npos)
            return pieces;
        start = end + 1;
    }
}

} // namespace dravik
