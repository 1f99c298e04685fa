// Text files, copying, moving, the held record file and deleting, in the ANSI code page.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <vector>

#include "platform/Retry.h"
#include "platform/common/ChunkLines.h"
#include "platform/common/PathText.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

namespace {

// Reads an open file from where it stands to its end, a chunk at a time.
template <class OnChunk> void ReadChunks(HANDLE file, const Text &path, OnChunk &&onChunk) {
    std::vector<char> chunk(256 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
            throw LastErrorFailure({path});
        if (read == 0)
            return;
        onChunk(chunk.data(), read);
    }
}

// Reads in chunks and hands each line on as soon as its end is seen, so that a
// long shared record file is never held whole.
template <class OnLine> void ReadLines(const Text &path, ChunkLines lines, OnLine &&onLine) {
    // Others may read, write and delete alongside: a workstation appending its
    // line, or an administrator emptying the file, never makes a start fail here.
    // A line still being written is at worst not seen yet.
    UniqueFileHandle file(::CreateFileA(ToAnsiPath(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                        nullptr));
    if (!file)
        throw LastErrorFailure({path});
    ReadChunks(file.Get(), path,
               [&](const char *data, DWORD read) { lines.Feed(data, read, onLine); });
    lines.Finish(onLine);
}

} // namespace

void Win32Platform::ForEachLine(const Text &path, const std::function<void(const Text &)> &visit) {
    ReadLines(path, ChunkLines(kLongestLineKept), [&](const char *begin, std::size_t count) {
        visit(FromAnsi(std::string(begin, count)));
    });
}

void Win32Platform::ForEachLineBytes(const Text &path,
                                     const std::function<void(const std::string &)> &visit) {
    ReadLines(path, ChunkLines(),
              [&](const char *begin, std::size_t count) { visit(std::string(begin, count)); });
}

Text Win32Platform::DecodeAnsi(const std::string &bytes) {
    return FromAnsi(bytes);
}

namespace {

// Differs between processes that start together, so that their retries spread.
std::uint32_t RetrySeed() {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    return static_cast<std::uint32_t>(counter.QuadPart) ^ (::GetCurrentProcessId() * 2654435761u);
}

// Another program holds the file in a way that keeps this one out, for now.
bool IsRefusal(DWORD error) {
    return KindOfError(error) == FailureKind::SharingViolation;
}

// What one try at appending came to: ERROR_SUCCESS, or the error that stopped it (a
// refusal always comes before anything is written).
struct AppendTry {
    DWORD error = ERROR_SUCCESS;
    bool wanted = true;
};

// Whether the file's last byte ends a line; an empty file needs no line end. Read
// from the end as it is now, whatever size was seen before.
bool EndsWithLineEnd(HANDLE file, DWORD &error) {
    LARGE_INTEGER back{};
    back.QuadPart = -1;
    if (!::SetFilePointerEx(file, back, nullptr, FILE_END)) {
        error = ::GetLastError();
        if (error == ERROR_NEGATIVE_SEEK)
            error = ERROR_SUCCESS;
        return true;
    }
    char lastByte = '\n';
    DWORD read = 0;
    if (!::ReadFile(file, &lastByte, 1, &read, nullptr))
        error = ::GetLastError();
    return read != 1 || lastByte == '\n';
}

// The first line of the file as it is now, read from its start through the append's
// own handle (it may read), with the file still held; false with `error` set when
// the read fails.
bool FirstLineHeld(HANDLE file, Text &line, DWORD &error) {
    std::string head(FirstLineBytes(kLongestLineKept), '\0');
    OVERLAPPED start{}; // read at offset 0, wherever the file pointer stands
    DWORD read = 0;
    if (!::ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &read, &start) &&
        ::GetLastError() != ERROR_HANDLE_EOF) {
        error = ::GetLastError();
        return false;
    }
    head.resize(read);
    line = FromAnsi(FirstLineOf(head, kLongestLineKept));
    return true;
}

AppendTry TryAppend(const std::string &path, const std::string &record,
                    const std::function<bool(const Text &)> &stillWanted) {
    // Writing while letting others only read and delete keeps every other writer
    // out until the handle is closed, an emptying of the file among them. The file
    // server enforces that for all its clients, on a network share too. Read and
    // append access is all it asks for, so that users given no more than that on
    // the shared record file can still append; nothing in the file can be overwritten.
    UniqueFileHandle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    AppendTry outcome;
    if (!file) {
        outcome.error = ::GetLastError();
        return outcome;
    }
    Text firstLine;
    if (!FirstLineHeld(file.Get(), firstLine, outcome.error))
        return outcome;
    if (!stillWanted(firstLine)) {
        outcome.wanted = false;
        return outcome;
    }

    // A last line left without its end (a file edited by hand) gets one first, so
    // that the new line never joins it.
    std::string line = EndsWithLineEnd(file.Get(), outcome.error) ? "" : "\r\n";
    if (outcome.error != ERROR_SUCCESS)
        return outcome;

    // One write for the whole line, at the end of the file as it is when written.
    line += record;
    if (line.size() > std::numeric_limits<DWORD>::max()) {
        outcome.error = ERROR_NOT_ENOUGH_MEMORY;
        return outcome;
    }
    OVERLAPPED end{};
    end.Offset = 0xFFFFFFFF; // FILE_WRITE_TO_END_OF_FILE
    end.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, &end))
        outcome.error = ::GetLastError();
    else if (written != line.size())
        outcome.error = ERROR_DISK_FULL; // a short write on a file means no room left
    return outcome;
}

} // namespace

bool Win32Platform::AppendLineIf(const Text &path, const Text &text,
                                 const std::function<bool(const Text &)> &stillWanted) {
    const std::string ansiPath = ToAnsiPath(path);
    const std::string record = ToAnsi(text) + "\r\n";
    // Another workstation appending (or reading, with a launcher that shares less
    // than this one) holds the file only for a moment, so a refusal is tried again
    // for a while before it counts as a failure.
    DWORD refusal = ERROR_SUCCESS;
    bool wanted = true;
    const bool done = RetryWithin(
        *this, kRefusedAppendRetry,
        [&] {
            const AppendTry outcome = TryAppend(ansiPath, record, stillWanted);
            wanted = outcome.wanted;
            if (outcome.error == ERROR_SUCCESS)
                return true;
            if (!IsRefusal(outcome.error))
                throw SystemFailure(outcome.error, {path});
            refusal = outcome.error;
            return false;
        },
        RetrySeed());
    if (!done)
        throw SystemFailure(refusal, {path});
    return wanted;
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

void Win32Platform::CopyFileOver(const Text &source, const Text &target,
                                 const CopyProgress &progress) {
    if (!::CopyFileExA(ToAnsiPath(source).c_str(), ToAnsiPath(target).c_str(),
                       progress ? &OnCopyProgress : nullptr,
                       progress ? const_cast<CopyProgress *>(&progress) : nullptr, nullptr, 0))
        throw LastErrorFailure({source, target});
}

void Win32Platform::CopyToNewFile(const Text &source, const Text &target,
                                  const CopyProgress &progress) {
    // The name is claimed first, by creating the file where no file may be, so that a
    // failed copy knows the file it leaves behind is its own to remove.
    UniqueFileHandle claim(::CreateFileA(ToAnsiPath(target).c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!claim)
        throw LastErrorFailure({target});
    claim.Reset();
    try {
        Win32Platform::CopyFileOver(source, target, progress);
    } catch (const Failure &) {
        try {
            Win32Platform::DeleteFileIfPresent(target);
        } catch (const Failure &) {
            // The copy's own failure is the one to report.
        }
        throw;
    }
}

FileStamp Win32Platform::StampOf(const Text &path) {
    // Through a handle of its own: the network client may answer a look by name
    // (GetFileAttributesEx) from what it saw seconds ago. Opening asks only to read
    // attributes, which keeps no one out, and shares everything.
    UniqueFileHandle file(::CreateFileA(ToAnsiPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.Get(), &info))
        throw LastErrorFailure({path});
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw SystemFailure(ERROR_ACCESS_DENIED, {path});
    FileStamp stamp;
    stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.lastWrite = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime);
    stamp.fileId = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return stamp;
}

void Win32Platform::FlushFile(const Text &path) {
    UniqueFileHandle file(::CreateFileA(ToAnsiPath(path).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !::FlushFileBuffers(file.Get()))
        throw LastErrorFailure({path});
}

void Win32Platform::MakeFileOrdinary(const Text &path) {
    const std::string ansi = ToAnsiPath(path);
    const DWORD attributes = ::GetFileAttributesA(ansi.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return;
        throw SystemFailure(error, {path});
    }
    const DWORD special = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((attributes & special) == 0)
        return;
    DWORD ordinary = attributes & ~special;
    if (ordinary == 0)
        ordinary = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileAttributesA(ansi.c_str(), ordinary))
        throw LastErrorFailure({path});
}

namespace {

// An open handle nobody else may share: as long as it is open, the lock is ours.
class Win32FileLock final : public FileLock {
public:
    explicit Win32FileLock(UniqueFileHandle handle) : handle_(std::move(handle)) {}

private:
    UniqueFileHandle handle_;
};

// The new name is on the disk once the file's own record is.
void FlushMovedFile(const std::string &to, const Text &target) {
    UniqueFileHandle moved(::CreateFileA(to.c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (moved && ::FlushFileBuffers(moved.Get()))
        return;
    const DWORD error = ::GetLastError();
    // A program that opened the new file at once (a scanner) and shares no writing,
    // or a read-only mark, keeps only this second flush out: the contents were
    // flushed before the move.
    if (!moved && (IsRefusal(error) || error == ERROR_ACCESS_DENIED))
        return;
    throw SystemFailure(error, {target});
}

} // namespace

std::unique_ptr<FileLock> Win32Platform::TryLockFile(const Text &path) {
    UniqueFileHandle file(::CreateFileA(ToAnsiPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        return std::make_unique<Win32FileLock>(std::move(file));
    const DWORD error = ::GetLastError();
    if (IsRefusal(error))
        return nullptr;
    throw SystemFailure(error, {path});
}

void Win32Platform::MoveFileOver(const Text &source, const Text &target) {
    const std::string from = ToAnsiPath(source);
    const std::string to = ToAnsiPath(target);
    // A target open in another program refuses the move as "access denied". The probe,
    // asking for all the move needs and sharing nothing, tells that from a target that
    // denies access for good (read-only, no rights). A probe let in means the holder let
    // go meanwhile, or holds the file only to look at its attributes, which no share mode
    // shows: try again at once, then report the target as in use.
    constexpr int kTries = 3;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        if (::MoveFileExA(from.c_str(), to.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            FlushMovedFile(to, target);
            return;
        }
        error = ::GetLastError();
        if (error != ERROR_ACCESS_DENIED)
            break;
        UniqueFileHandle probe(::CreateFileA(to.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD probeError = ::GetLastError();
        if (!probe) {
            if (IsRefusal(probeError))
                error = probeError;
            break;
        }
        error = ERROR_SHARING_VIOLATION;
    }
    throw SystemFailure(error, {source, target});
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
    throw SystemFailure(error, {path});
}

namespace {

// Writes all bytes at the handle's position, in parts a DWORD can count.
void WriteAll(HANDLE file, const char *data, std::size_t size, const Text &path) {
    for (std::size_t done = 0; done < size;) {
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(size - done, 1 << 20));
        DWORD written = 0;
        if (!::WriteFile(file, data + done, part, &written, nullptr))
            throw LastErrorFailure({path});
        if (written == 0)
            throw SystemFailure(ERROR_DISK_FULL, {path});
        done += written;
    }
}

void MoveTo(HANDLE file, DWORD from, const Text &path) {
    LARGE_INTEGER none{};
    if (!::SetFilePointerEx(file, none, nullptr, from))
        throw LastErrorFailure({path});
}

// The record file open with read and write access, letting others only read: a
// launcher appending (it writes, and lets others only read and delete) is refused
// while this handle is open, and so is any other writer; readers never are.
class Win32HeldRecord final : public HeldRecord {
public:
    Win32HeldRecord(UniqueFileHandle file, Text path)
        : file_(std::move(file)), path_(std::move(path)) {}

    void CopyTo(const Text &target) override {
        UniqueFileHandle output(::CreateFileA(ToAnsiPath(target).c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!output)
            throw LastErrorFailure({target});
        MoveTo(file_.Get(), FILE_BEGIN, path_);
        ReadChunks(file_.Get(), path_, [&](const char *data, DWORD read) {
            WriteAll(output.Get(), data, read, target);
        });
        if (!::FlushFileBuffers(output.Get()))
            throw LastErrorFailure({target});
    }
    void Cut() override {
        MoveTo(file_.Get(), FILE_BEGIN, path_);
        if (!::SetEndOfFile(file_.Get()))
            throw LastErrorFailure({path_});
    }
    void WriteLine(const Text &line) override {
        const std::string bytes = ToAnsi(line) + "\r\n";
        MoveTo(file_.Get(), FILE_END, path_);
        WriteAll(file_.Get(), bytes.data(), bytes.size(), path_);
    }
    void Flush() override {
        if (!::FlushFileBuffers(file_.Get()))
            throw LastErrorFailure({path_});
    }

private:
    UniqueFileHandle file_;
    Text path_;
};

} // namespace

std::unique_ptr<HeldRecord> Win32Platform::TryHoldRecord(const Text &path) {
    // Opened, never created or cut: the file keeps its rights. A reparse point is
    // opened as itself, never followed, so that a link's target is never touched.
    UniqueFileHandle file(::CreateFileA(
        ToAnsiPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (IsRefusal(error))
            return nullptr;
        throw SystemFailure(error, {path});
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.Get(), &info))
        throw LastErrorFailure({path});
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        throw SystemFailure(ERROR_ACCESS_DENIED, {path});
    return std::make_unique<Win32HeldRecord>(std::move(file), path);
}

PathKind Win32Platform::KindOfPath(const Text &path) {
    const DWORD attributes = ::GetFileAttributesA(ToAnsiPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return PathKind::Nothing;
        throw SystemFailure(error, {path});
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return PathKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathKind::Folder;
    return PathKind::File;
}

void Win32Platform::MakeFolder(const Text &path) {
    const std::string ansi = ToAnsiPath(path);
    if (::CreateDirectoryA(ansi.c_str(), nullptr))
        return;
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesA(ansi.c_str());
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    throw SystemFailure(error, {path});
}

void Win32Platform::WriteWholeFile(const Text &path, const std::string &bytes) {
    UniqueFileHandle file(::CreateFileA(ToAnsiPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw LastErrorFailure({path});
    WriteAll(file.Get(), bytes.data(), bytes.size(), path);
}

Text Win32Platform::ParentFolderOf(const Text &path) {
    return ParentFolderName(path);
}

} // namespace dravik
