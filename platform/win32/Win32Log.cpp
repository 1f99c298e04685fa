// The log a site may switch on, on Windows: appended through a handle no other
// writer may share, moved aside once it is long enough.
#include <windows.h>

#include <string>

#include "platform/Retry.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

namespace {

// Another launcher holds the log only while it writes one line: a few short
// waits are plenty, and a start never waits longer for its log.
constexpr RetryPlan kLogWait{200, 20};

} // namespace

std::int64_t Win32Platform::MillisecondsNow() {
    return static_cast<std::int64_t>(::GetTickCount64());
}

void Win32Platform::AppendToLog(const Text &path, const Text &line, std::uint64_t rotateAt) {
    const std::string ansi = ToAnsiPath(path);
    const std::string bytes = ToUtf8(line + L"\r\n");
    // Each try answers false when another launcher holds the log, or when it has just
    // moved the log aside: then it is opened anew.
    DWORD refusal = ERROR_SHARING_VIOLATION;
    const bool written = RetryWithin(*this, kLogWait, [&] {
        // Readers (Notepad) may look on, and the holder may move the file aside; no
        // other writer gets in until the handle is closed.
        UniqueFileHandle file(::CreateFileA(ansi.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            refusal = ::GetLastError();
            if (KindOfError(refusal) != FailureKind::SharingViolation)
                throw SystemFailure(refusal, {path});
            return false;
        }
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(file.Get(), &size))
            throw LastErrorFailure({path});
        // Moved while held, so no one else can be writing to it; a reader that does
        // not let it move only puts the move off until a later line.
        if (static_cast<std::uint64_t>(size.QuadPart) >= rotateAt &&
            ::MoveFileExA(ansi.c_str(), ToAnsiPath(path + L".1").c_str(),
                          MOVEFILE_REPLACE_EXISTING))
            return false;
        const std::string withMark = size.QuadPart == 0 ? "\xEF\xBB\xBF" + bytes : bytes;
        DWORD put = 0;
        if (!::WriteFile(file.Get(), withMark.data(), static_cast<DWORD>(withMark.size()), &put,
                         nullptr))
            throw LastErrorFailure({path});
        if (put != withMark.size())
            throw SystemFailure(ERROR_DISK_FULL, {path});
        return true;
    });
    if (!written)
        throw SystemFailure(refusal, {path});
}

} // namespace dravik
