#include "platform/common/CaseMapping.h"

namespace dravik {

namespace {

// Latin Extended-A pairs capital and small letters side by side; which of the
// two is the capital flips at U+0138 and again at U+0149.
bool IsLatinExtendedA(wchar_t c) {
    return c >= 0x100 && c <= 0x17E;
}
bool CapitalIsEven(wchar_t c) {
    return c < 0x138 || (c > 0x149 && c < 0x178);
}

} // namespace

wchar_t UpperChar(wchar_t c) {
    if (c >= L'a' && c <= L'z')
        return static_cast<wchar_t>(c - 32);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<wchar_t>(c - 32);
    if (c == 0xFF)
        return 0x178;
    if (IsLatinExtendedA(c) && c != 0x131 && c != 0x138 && c != 0x149) {
        if (c == 0x17A || c == 0x17C || c == 0x17E)
            return static_cast<wchar_t>(c - 1);
        if (c >= 0x178)
            return c;
        bool even = (c % 2) == 0;
        bool isSmall = CapitalIsEven(c) ? !even : even;
        return isSmall ? static_cast<wchar_t>(c - 1) : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return static_cast<wchar_t>(c - 32);
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x430 && c <= 0x44F)
        return static_cast<wchar_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<wchar_t>(c - 80);
    return c;
}

wchar_t LowerChar(wchar_t c) {
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<wchar_t>(c + 32);
    if (c == 0x178)
        return 0xFF;
    if (IsLatinExtendedA(c) && c != 0x130 && c != 0x138 && c != 0x149) {
        if (c == 0x179 || c == 0x17B || c == 0x17D)
            return static_cast<wchar_t>(c + 1);
        if (c >= 0x178)
            return c;
        bool even = (c % 2) == 0;
        bool isCapital = CapitalIsEven(c) ? even : !even;
        return isCapital ? static_cast<wchar_t>(c + 1) : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return static_cast<wchar_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<wchar_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<wchar_t>(c + 80);
    return c;
}

std::wstring UpperText(std::wstring text) {
    for (auto &c : text)
        c = UpperChar(c);
    return text;
}

std::wstring LowerText(std::wstring text) {
    for (auto &c : text)
        c = LowerChar(c);
    return text;
}

bool SameNameIgnoringCase(const std::wstring &a, const std::wstring &b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperChar(a[i]) != UpperChar(b[i]))
            return false;
    return true;
}

} // namespace dravik
