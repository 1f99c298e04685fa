// The few things the tests need from the system itself: error texts as the
// platform words them, and the error codes that stand for a missing folder and
// for a folder opened as a file.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/Win32Error.h"
#else
#include <cerrno>

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
#else
constexpr int kErrorMissingFolder = ENOENT;
constexpr int kErrorFolderAsFile = EISDIR;

// The system's message for an error number, as the platform words it.
inline Text SystemText(int code) {
    return ErrorText(code);
}
#endif

} // namespace dravik::test
