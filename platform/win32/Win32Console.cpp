#include "platform/Console.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/win32/Win32Text.h"

namespace dravik {

std::vector<Text> ConsoleArguments(int, char **) {
    // The wide command line: a folder's name keeps letters the ANSI code page lacks.
    std::vector<Text> arguments;
    int count = 0;
    LPWSTR *words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (words == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(words[i]);
    ::LocalFree(words);
    return arguments;
}

void WriteConsoleLine(const Text &line, bool toStandardError) {
    HANDLE out = ::GetStdHandle(toStandardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    const Text text = line + L"\r\n";
    DWORD written = 0;
    DWORD mode = 0;
    if (::GetConsoleMode(out, &mode)) {
        // Written as text, so the console shows Croatian letters whatever its code page.
        ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = ToUtf8(text);
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace dravik
