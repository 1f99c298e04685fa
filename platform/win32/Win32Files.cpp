// Text files, copying, moving and deleting, in the ANSI code page.
#include <windows.h>

#include <cstring>
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
    UniqueFileHandle file(::CreateFileA(ToAnsiPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                        nullptr));
    if (!file)
        throw LastFileFailure({path});

    auto handOn = [&](const char *begin, std::size_t count) {
        visit(FromAnsi(std::string(begin, count)));
    };
    ChunkLines lines;
    std::vector<char> chunk(256 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
            throw LastFileFailure({path});
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
    UniqueFileHandle file(::CreateFileA(ToAnsiPath(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                                        FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw LastFileFailure({path});

    // A last line left without its end (a file edited by hand) gets one first, so
    // that the new line never joins it.
    std::string line;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size))
        throw LastFileFailure({path});
    if (size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char lastByte = '\0';
        DWORD read = 0;
        if (!::SetFilePointerEx(file.Get(), last, nullptr, FILE_BEGIN) ||
            !::ReadFile(file.Get(), &lastByte, 1, &read, nullptr))
            throw LastFileFailure({path});
        if (read == 1 && lastByte != '\n')
            line = "\r\n";
    }

    // One write for the whole line, so that lines from several writers never interleave.
    line += ToAnsi(text) + "\r\n";
    if (line.size() > std::numeric_limits<DWORD>::max())
        throw FileFailure(ERROR_NOT_ENOUGH_MEMORY, {path});
    DWORD written = 0;
    if (!::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        throw LastFileFailure({path});
    if (written != line.size())
        throw FileFailure(ERROR_DISK_FULL, {path}); // a short write on a file means no room left
}

void Win32Platform::CopyFileOver(const Text &source, const Text &target) {
    if (!::CopyFileA(ToAnsiPath(source).c_str(), ToAnsiPath(target).c_str(), FALSE))
        throw LastFileFailure({source, target});
}

namespace {

// The copy routine's progress: handed on to the caller's, whose failures must not
// unwind through the system's copy.
DWORD CALLBACK OnCopyProgress(LARGE_INTEGER total, LARGE_INTEGER copied, LARGE_INTEGER,
                              LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
    const auto *progress = static_cast<const CopyProgress *>(data);
    try {
        (*progress)(static_cast<std::uint64_t>(copied.QuadPart),
                    static_cast<std::uint64_t>(total.QuadPart));
    } catch (...) {
        // Only a display of how far it got: the copy goes on.
    }
    return PROGRESS_CONTINUE;
}

} // namespace

void Win32Platform::CopyToNewFile(const Text &source, const Text &target,
                                  const CopyProgress &progress) {
    // The name is claimed first, by creating the file where no file may be, so that a
    // failed copy knows the file it leaves behind is its own to remove.
    const std::string to = ToAnsiPath(target);
    UniqueFileHandle claim(::CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!claim)
        throw LastFileFailure({target});
    claim.Reset();
    if (::CopyFileExA(ToAnsiPath(source).c_str(), to.c_str(), progress ? &OnCopyProgress : nullptr,
                      progress ? const_cast<CopyProgress *>(&progress) : nullptr, nullptr, 0))
        return;
    const Failure failure = LastFileFailure({source, target});
    try {
        DeleteFileIfPresent(target);
    } catch (const Failure &) {
        // The copy's own failure is the one to report.
    }
    throw failure;
}

void Win32Platform::MakeFileOrdinary(const Text &path) {
    const std::string ansi = ToAnsiPath(path);
    const DWORD attributes = ::GetFileAttributesA(ansi.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return;
        throw FileFailure(error, {path});
    }
    const DWORD special = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((attributes & special) == 0)
        return;
    DWORD ordinary = attributes & ~special;
    if (ordinary == 0)
        ordinary = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileAttributesA(ansi.c_str(), ordinary))
        throw LastFileFailure({path});
}

namespace {

// An open handle nobody else may share: as long as it is open, the lock is ours.
class Win32FileLock final : public FileLock {
public:
    explicit Win32FileLock(UniqueFileHandle handle) : handle_(std::move(handle)) {}

private:
    UniqueFileHandle handle_;
};

} // namespace

std::unique_ptr<FileLock> Win32Platform::TryLockFile(const Text &path) {
    UniqueFileHandle file(::CreateFileA(ToAnsiPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        return std::make_unique<Win32FileLock>(std::move(file));
    const DWORD error = ::GetLastError();
    if (KindOfError(error) == FailureKind::SharingViolation)
        return nullptr;
    throw FileFailure(error, {path});
}

void Win32Platform::MoveFileOver(const Text &source, const Text &target) {
    const std::string to = ToAnsiPath(target);
    if (::MoveFileExA(ToAnsiPath(source).c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
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
    throw FileFailure(error, {source, target});
}

void Win32Platform::DeleteFileIfPresent(const Text &path) {
    const std::string ansi = ToAnsiPath(path);
    // A copy of a read-only server file is read-only too; it must still go.
    const DWORD attributes = ::GetFileAttributesA(ansi.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesA(ansi.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    if (::DeleteFileA(ansi.c_str()))
        return;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return;
    throw FileFailure(error, {path});
}

Text Win32Platform::ParentFolderOf(const Text &path) {
    return ParentFolderName(path);
}

} // namespace dravik
