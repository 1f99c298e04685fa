#include "platform/win32/Win32Error.h"

#include <string>

namespace dravik {

std::wstring SystemErrorText(DWORD code) {
    wchar_t *buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer != nullptr)
        text.assign(buffer, length);
    if (buffer != nullptr)
        ::LocalFree(buffer);
    // The system ends its messages with CR LF, which would break the message box line.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'\t'))
        text.pop_back();
    if (text.empty())
        text = L"Error " + std::to_wstring(code);
    return text;
}

Failure SystemFailure(DWORD code) {
    return Failure(SystemErrorText(code),
                   code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION);
}

Failure LastErrorFailure() {
    return SystemFailure(::GetLastError());
}

} // namespace dravik
