// Splitting text and paths the way the tests and the fake need it.
#pragma once

#include <string>
#include <vector>

namespace dravik {

// Splits decoded file text into lines, as the platforms read them: CR LF ends a
// line, and so does a lone LF; a final line without an end still counts.
inline std::vector<std::wstring> SplitLines(const std::wstring &text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find(L'\n', start);
        std::size_t end = lf == std::wstring::npos ? text.size() : lf;
        std::size_t lineEnd =
            (lf != std::wstring::npos && end > start && text[end - 1] == L'\r') ? end - 1 : end;
        lines.emplace_back(text, start, lineEnd - start);
        if (lf == std::wstring::npos)
            break;
        start = lf + 1;
    }
    return lines;
}

// The folder part and the last component of a "\"- or "/"-separated path.
inline std::wstring FolderPart(const std::wstring &path) {
    std::size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? L"" : path.substr(0, cut);
}

inline std::wstring LastComponent(const std::wstring &path) {
    std::size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

} // namespace dravik
