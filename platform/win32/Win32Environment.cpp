// Program folder, environment, clock, keyboard, letter case and ending the process.
#include <windows.h>

#include <algorithm>
#include <climits>

#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32ProgramFolder.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

Text Win32Platform::ProgramFolderPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = ::GetModuleFileNameW(nullptr, &path[0], size);
        if (length == 0)
            throw LastErrorFailure();
        if (length < size) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // truncated: try a larger buffer
    }
    return ProgramFolderOf(path);
}

Text Win32Platform::GetEnvVar(const Text &name) {
    try {
        std::wstring value(256, L'\0');
        for (;;) {
            ::SetLastError(ERROR_SUCCESS);
            const DWORD length = ::GetEnvironmentVariableW(name.c_str(), &value[0],
                                                           static_cast<DWORD>(value.size()));
            if (length == 0)
                return Text(); // unset or empty
            if (length < value.size()) {
                value.resize(length);
                // The value ends up in ANSI files (the user key in the record file):
                // give it as it reads back from there, so a name with a letter the code
                // page lacks still finds its own record.
                return FromAnsi(ToAnsi(value));
            }
            value.resize(length); // length is the size needed, NUL included
        }
    } catch (...) {
        return Text();
    }
}

namespace {

// Formats the current local time with GetDateFormatW or GetTimeFormatW.
template <typename Formatter> Text FormatNow(Formatter format) {
    try {
        const int size = format(nullptr, 0);
        if (size <= 0)
            return Text();
        std::wstring text(static_cast<std::size_t>(size), L'\0');
        const int written = format(&text[0], size);
        if (written <= 0)
            return Text();
        text.resize(static_cast<std::size_t>(written) - 1); // without the NUL
        return text;
    } catch (...) {
        return Text();
    }
}

Text MapCase(const Text &text, bool upper) {
    Text copy = text;
    std::size_t done = 0;
    while (done < copy.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(copy.size() - done, INT_MAX));
        if (upper)
            ::CharUpperBuffW(&copy[done], chunk);
        else
            ::CharLowerBuffW(&copy[done], chunk);
        done += chunk;
    }
    return copy;
}

} // namespace

Text Win32Platform::DateText() {
    return FormatNow([](wchar_t *buffer, int size) {
        return ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer,
                                size);
    });
}

Text Win32Platform::TimeText() {
    return FormatNow([](wchar_t *buffer, int size) {
        return ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, size);
    });
}

bool Win32Platform::IsKeyDown(int virtualKey) {
    return (static_cast<unsigned short>(::GetAsyncKeyState(virtualKey)) & 0x8000u) != 0;
}

void Win32Platform::SleepMilliseconds(int milliseconds) {
    ::Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}

void Win32Platform::EndProgram(int exitCode) {
    ::ExitProcess(static_cast<UINT>(exitCode));
}

Text Win32Platform::ToUpper(const Text &text) {
    return MapCase(text, true);
}

Text Win32Platform::ToLower(const Text &text) {
    return MapCase(text, false);
}

} // namespace dravik
