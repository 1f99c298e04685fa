#include "platform/common/PathText.h"

#include "platform/common/CaseMapping.h"

namespace dravik {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Length of "\\server\share" at the start of a network path, or 0.
std::size_t ShareRootLength(const std::wstring &path) {
    if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1]))
        return 0;
    std::size_t i = 2;
    while (i < path.size() && !IsSeparator(path[i]))
        ++i; // server
    if (i == 2 || i >= path.size())
        return 0;
    std::size_t shareStart = ++i;
    while (i < path.size() && !IsSeparator(path[i]))
        ++i; // share
    return i > shareStart ? i : 0;
}

bool Match(const wchar_t *p, const wchar_t *pEnd, const wchar_t *n, const wchar_t *nEnd) {
    // Iterative matcher with one backtrack point for the last "*".
    const wchar_t *starP = nullptr;
    const wchar_t *starN = nullptr;
    while (n != nEnd) {
        if (p != pEnd && *p == L'*') {
            starP = ++p;
            starN = n;
        } else if (p != pEnd && (*p == L'?' || UpperChar(*p) == UpperChar(*n))) {
            ++p;
            ++n;
        } else if (starP) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p != pEnd && *p == L'*')
        ++p;
    return p == pEnd;
}

} // namespace

std::wstring ParentFolderName(const std::wstring &path) {
    std::ptrdiff_t i = static_cast<std::ptrdiff_t>(path.size()) - 1;
    while (i >= 0 && IsSeparator(path[i]))
        --i;
    while (i >= 0 && !IsSeparator(path[i]))
        --i;
    while (i >= 0 && IsSeparator(path[i]))
        --i;
    if (i < 0)
        return L"";
    std::size_t length = static_cast<std::size_t>(i) + 1;
    if (length == 2 && path[1] == L':')
        return path.substr(0, 3); // "C:\" keeps its separator
    std::size_t share = ShareRootLength(path);
    if (share != 0 && length == share)
        return path.substr(0, share + 1); // "\\srv\share\" likewise
    if (share != 0 && length < share)
        return L""; // "\\srv\share" itself has no parent folder
    return path.substr(0, length);
}

bool WildcardMatch(const std::wstring &pattern, const std::wstring &name) {
    const wchar_t *p = pattern.data();
    const wchar_t *n = name.data();
    if (Match(p, p + pattern.size(), n, n + name.size()))
        return true;
    bool endsInDotStar = pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, L".*") == 0;
    if (endsInDotStar && name.find(L'.') == std::wstring::npos)
        return Match(p, p + pattern.size() - 2, n, n + name.size());
    return false;
}

} // namespace dravik
