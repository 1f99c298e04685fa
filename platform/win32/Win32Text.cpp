#include "platform/win32/Win32Text.h"

#include <windows.h>

#include <climits>

namespace dravik {

namespace {

std::string WideToBytes(UINT codePage, const std::wstring &text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX))
        return std::string();
    const int length = static_cast<int>(text.size());
    const int size =
        ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string bytes(static_cast<std::size_t>(size), '\0');
    const int written =
        ::WideCharToMultiByte(codePage, 0, text.data(), length, &bytes[0], size, nullptr, nullptr);
    bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return bytes;
}

std::wstring BytesToWide(UINT codePage, const char *bytes, std::size_t count) {
    if (count == 0 || count > static_cast<std::size_t>(INT_MAX))
        return std::wstring();
    const int length = static_cast<int>(count);
    const int size = ::MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    const int written = ::MultiByteToWideChar(codePage, 0, bytes, length, &text[0], size);
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

} // namespace

std::string ToAnsi(const std::wstring &text) {
    return WideToBytes(CP_ACP, text);
}

std::string ToAnsiPath(const std::wstring &path) {
    if (path.empty())
        return std::string();
    // A system whose ANSI code page is UTF-8 writes every letter as it is.
    if (::GetACP() == CP_UTF8)
        return WideToBytes(CP_UTF8, path);
    BOOL lacking = FALSE;
    std::string bytes;
    if (path.size() <= static_cast<std::size_t>(INT_MAX)) {
        const int length = static_cast<int>(path.size());
        const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(), length,
                                               nullptr, 0, nullptr, &lacking);
        if (size > 0 && !lacking) {
            bytes.assign(static_cast<std::size_t>(size), '\0');
            const int written = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.data(),
                                                      length, &bytes[0], size, nullptr, &lacking);
            if (written == size && !lacking)
                return bytes;
        }
    }
    throw Failure(L"Putanja sadrži znak kojeg nema u kodnoj stranici sustava.", FailureKind::Other,
                  {path});
}

std::wstring FromAnsi(const std::string &bytes) {
    // On a single-byte code page the whole text converts in one call with one
    // character per byte. Anything else is converted byte by byte to keep that.
    std::wstring whole = BytesToWide(CP_ACP, bytes.data(), bytes.size());
    if (whole.size() == bytes.size())
        return whole;
    std::wstring text(bytes.size(), L'?');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        wchar_t c = L'?';
        if (::MultiByteToWideChar(CP_ACP, 0, &bytes[i], 1, &c, 1) == 1)
            text[i] = c;
    }
    return text;
}

std::string ToUtf8(const std::wstring &text) {
    return WideToBytes(CP_UTF8, text);
}

} // namespace dravik
