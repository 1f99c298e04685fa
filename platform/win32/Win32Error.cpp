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

FailureKind KindOfError(DWORD code) {
    switch (code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FailureKind::SharingViolation;
    case ERROR_ACCESS_DENIED:
        return FailureKind::AccessDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return FailureKind::AlreadyExists;
    default:
        return FailureKind::Other;
    }
}

Failure SystemFailure(DWORD code, std::vector<std::wstring> paths) {
    return Failure(SystemErrorText(code), KindOfError(code), std::move(paths),
                   static_cast<long>(code));
}

Failure LastErrorFailure(std::vector<std::wstring> paths) {
    return SystemFailure(::GetLastError(), std::move(paths));
}

} // namespace dravik
