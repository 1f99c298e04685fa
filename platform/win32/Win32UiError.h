// Failures of the window services, described by the system's own message text.
#pragma once

#include <windows.h>

#include "platform/Failure.h"

namespace dravik::win32ui {

inline Failure SystemFailure(DWORD code) {
    wchar_t *buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer != nullptr) {
        text.assign(buffer, length);
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = L"System error " + std::to_wstring(code);
    }
    return Failure(text);
}

inline Failure LastErrorFailure() {
    return SystemFailure(GetLastError());
}

} // namespace dravik::win32ui
