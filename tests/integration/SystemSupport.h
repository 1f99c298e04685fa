// The few things the tests need from the system itself: error texts as the
// platform words them, and setting an environment variable.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdlib>
#include <cstring>
#endif

#include <stdexcept>
#include <string>

#include "platform/PlatformServices.h"

namespace dravik::test {

// Paths in these tests are plain ASCII, so they go into DravikVT.txt byte for byte.
inline std::string Ascii(const Text &text) {
    std::string bytes;
    for (wchar_t c : text) {
        if (static_cast<unsigned long>(c) > 0x7F)
            throw std::runtime_error("a path of the test is not ASCII");
        bytes += static_cast<char>(c);
    }
    return bytes;
}

#ifdef _WIN32
constexpr int kErrorMissingFolder = ERROR_PATH_NOT_FOUND;
constexpr int kErrorFolderAsFile = ERROR_ACCESS_DENIED;

// The system's message for a Win32 error code, without its line end.
inline Text SystemText(int code) {
    wchar_t *buffer = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    Text text(buffer ? buffer : L"", length);
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text.empty() ? L"Error " + std::to_wstring(code) : text;
}

inline void SetEnvironment(const Text &name, const Text &value) {
    ::SetEnvironmentVariableW(name.c_str(), value.c_str());
}
#else
constexpr int kErrorMissingFolder = ENOENT;
constexpr int kErrorFolderAsFile = EISDIR;

// strerror's text; the messages of the C library are ASCII.
inline Text SystemText(int code) {
    Text text;
    for (const char *p = std::strerror(code); *p; ++p)
        text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return text;
}

inline void SetEnvironment(const Text &name, const Text &value) {
    ::setenv(Ascii(name).c_str(), Ascii(value).c_str(), 1);
}
#endif

// A failure's text for a test's output; letters outside ASCII become '?'.
inline std::string Narrow(const Text &text) {
    std::string bytes;
    for (wchar_t c : text)
        bytes += static_cast<unsigned long>(c) < 0x80 ? static_cast<char>(c) : '?';
    return bytes;
}

} // namespace dravik::test
