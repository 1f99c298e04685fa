// Text files, copying, moving, emptying and deleting, in the ANSI code page.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <vector>

#include "platform/common/ChunkLines.h"
#include "platform/common/PathText.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

std::vector<Text> Win32Platform::ReadAllLines(const Text &path) {
    std::vector<Text> lines;
    ForEachLine(path, [&](const Text &line) { lines.push_back(line); });
    return lines;
}

// Reads in chunks and hands each line on as soon as its end is seen, so that a
// long shared record file is never held whole.
void Win32Platform::ForEachLine(const Text &path, const std::function<void(const Text &)> &visit) {
    // Default sharing: others may read alongside, but a file someone is writing
    // is refused, and there is no retry.
    UniqueFileHandle file(::CreateFileA(ToAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                        nullptr));
    if (!file)
        throw LastErrorFailure();

    auto handOn = [&](const char *begin, std::size_t count) {
        visit(FromAnsi(std::string(begin, count)));
    };
    ChunkLines lines;
    std::vector<char> chunk(256 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
            throw LastErrorFailure();
        if (read == 0)
            break;
        lines.Feed(chunk.data(), read, handOn);
    }
    lines.Finish(handOn);
}

void Win32Platform::AppendLine(const Text &path, const Text &text) {
    // Append-only access makes the system put every write at the current end of
    // the file, wherever the file pointer is. Default sharing lets nobody else
    // write while the handle is open, so the end looked at below stays the end.
    UniqueFileHandle file(::CreateFileA(ToAnsi(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                                        FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw LastErrorFailure();

    // A last line left without its end (a file edited by hand) gets one first, so
    // that the new line never joins it.
    std::string line;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size))
        throw LastErrorFailure();
    if (size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char lastByte = '\0';
        DWORD read = 0;
        if (!::SetFilePointerEx(file.Get(), last, nullptr, FILE_BEGIN) ||
            !::ReadFile(file.Get(), &lastByte, 1, &read, nullptr))
            throw LastErrorFailure();
        if (read == 1 && lastByte != '\n')
            line = "\r\n";
    }

    // One write for the whole line, so that lines from several writers never interleave.
    line += ToAnsi(text) + "\r\n";
    if (line.size() > std::numeric_limits<DWORD>::max())
        throw SystemFailure(ERROR_NOT_ENOUGH_MEMORY);
    DWORD written = 0;
    if (!::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        throw LastErrorFailure();
    if (written != line.size())
        throw SystemFailure(ERROR_DISK_FULL); // a short write on a file means no room left
}

void Win32Platform::CopyFileOver(const Text &source, const Text &target) {
    if (!::CopyFileA(ToAnsi(source).c_str(), ToAnsi(target).c_str(), FALSE))
        throw LastErrorFailure();
}

namespace {

// What the progress routine reports to, and a failure raised there, kept until
// the system has returned: nothing may be thrown through the system's frames.
struct CopyReport {
    const CopyProgress *progress;
    std::exception_ptr failure;
};

DWORD CALLBACK ReportCopyProgress(LARGE_INTEGER total, LARGE_INTEGER copied, LARGE_INTEGER,
                                  LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
    auto *report = static_cast<CopyReport *>(data);
    try {
        (*report->progress)(static_cast<std::uint64_t>(copied.QuadPart),
                            static_cast<std::uint64_t>(total.QuadPart));
        return PROGRESS_CONTINUE;
    } catch (...) {
        report->failure = std::current_exception();
        return PROGRESS_CANCEL; // the system removes the partial target
    }
}

} // namespace

void Win32Platform::CopyFileOverWithProgress(const Text &source, const Text &target,
                                             const CopyProgress &progress) {
    if (!progress) {
        CopyFileOver(source, target);
        return;
    }
    CopyReport report{&progress, nullptr};
    if (::CopyFileExA(ToAnsi(source).c_str(), ToAnsi(target).c_str(), ReportCopyProgress, &report,
                      nullptr, 0))
        return;
    const DWORD error = ::GetLastError();
    if (report.failure)
        std::rethrow_exception(report.failure);
    throw SystemFailure(error);
}

void Win32Platform::MoveFileOver(const Text &source, const Text &target) {
    const std::string to = ToAnsi(target);
    if (::MoveFileExA(ToAnsi(source).c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return;
    DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
        // A target open in another program (Access) refuses the move as "access
        // denied"; say what is really in the way, as a direct copy would.
        UniqueFileHandle probe(::CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD probeError = ::GetLastError();
        if (!probe && (probeError == ERROR_SHARING_VIOLATION || probeError == ERROR_LOCK_VIOLATION))
            error = probeError;
    }
    throw SystemFailure(error);
}

void Win32Platform::DeleteFileIfPresent(const Text &path) {
    const std::string ansi = ToAnsi(path);
    // A copy of a read-only server file is read-only too; it must still go.
    const DWORD attributes = ::GetFileAttributesA(ansi.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesA(ansi.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    if (::DeleteFileA(ansi.c_str()))
        return;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return;
    throw SystemFailure(error);
}

void Win32Platform::EmptyFile(const Text &path) {
    // Truncated in place, never created: the file keeps its rights. Default sharing,
    // as the launchers open it: one reading or appending at this moment refuses the
    // open, which then fails as a file in use.
    UniqueFileHandle file(::CreateFileA(ToAnsi(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
    if (!file)
        throw LastErrorFailure();
}

Text Win32Platform::ParentFolderOf(const Text &path) {
    return ParentFolderName(path);
}

} // namespace dravik
