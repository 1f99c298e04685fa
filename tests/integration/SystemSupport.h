// The few things the tests need from the system itself: error texts as the
// platform words them, and setting an environment variable.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/Win32Error.h"
#else
#include <cerrno>
#include <cstdlib>

#include "platform/posix/PosixErrors.h"
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

// The system's message for an error code, as the platform words it.
inline Text SystemText(int code) {
    return SystemErrorText(static_cast<DWORD>(code));
}

inline void SetEnvironment(const Text &name, const Text &value) {
    ::SetEnvironmentVariableW(name.c_str(), value.c_str());
}
#else
constexpr int kErrorMissingFolder = ENOENT;
constexpr int kErrorFolderAsFile = EISDIR;

// The system's message for an error number, as the platform words it.
inline Text SystemText(int code) {
    return ErrorText(code);
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
