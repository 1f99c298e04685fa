// Text files, folder search, copying, moving, emptying and deleting on POSIX.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/common/CaseMapping.h"
#include "platform/common/ChunkLines.h"
#include "platform/common/CodePage.h"
#include "platform/common/PathText.h"
#include "platform/posix/PosixFileDescriptor.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PosixText.h"

namespace dravik {

namespace {

int OpenRetrying(const std::string &path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens an existing ordinary file for reading; a folder is not a file.
FileDescriptor OpenForReading(const std::string &path, struct stat &info) {
    FileDescriptor file(OpenRetrying(path, O_RDONLY));
    if (!file.IsOpen())
        throw FileFailure(L"Cannot open", path, errno);
    if (fstat(file.Get(), &info) != 0)
        throw FileFailure(L"Cannot read", path, errno);
    if (S_ISDIR(info.st_mode))
        throw FileFailure(L"Cannot open", path, EISDIR);
    return file;
}

// Writes all bytes; false with errno set when the system refuses part of them.
bool WriteAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = EIO;
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool IsOrdinaryFile(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool LessIgnoringCase(const Text &a, const Text &b) {
    Text upperA = UpperText(a);
    Text upperB = UpperText(b);
    return upperA != upperB ? upperA < upperB : a < b;
}

} // namespace

std::vector<Text> PosixPlatform::ReadAllLines(const Text &path) {
    std::vector<Text> lines;
    ForEachLine(path, [&](const Text &line) { lines.push_back(line); });
    return lines;
}

// Reads in chunks and hands each line on as soon as its end is seen, so that a
// long shared record file is never held whole.
void PosixPlatform::ForEachLine(const Text &path, const std::function<void(const Text &)> &visit) {
    std::string native = ResolvePath(path);
    struct stat info {};
    FileDescriptor file = OpenForReading(native, info);
    const SingleByteCodePage page = ActiveCodePage();
    Text line; // reused for every line: no allocation per line
    auto handOn = [&](const char *begin, std::size_t count) {
        DecodeSingleByteInto(begin, count, page, line);
        visit(line);
    };
    ChunkLines lines;
    std::vector<char> chunk(256 * 1024);
    for (;;) {
        ssize_t got = ::read(file.Get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw FileFailure(L"Cannot read", native, errno);
        if (got == 0)
            break;
        lines.Feed(chunk.data(), static_cast<std::size_t>(got), handOn);
    }
    lines.Finish(handOn);
}

void PosixPlatform::AppendLine(const Text &path, const Text &text) {
    std::string native = ResolvePath(path);
    std::string bytes = EncodeSingleByte(text + L"\r\n", ActiveCodePage());
    // Opened for reading too, to see how the file ends; a file we may only write to
    // is still appended to.
    FileDescriptor file(OpenRetrying(native, O_RDWR | O_APPEND | O_CREAT, 0666));
    bool readable = file.IsOpen();
    if (!readable && errno == EACCES)
        file.Reset(OpenRetrying(native, O_WRONLY | O_APPEND | O_CREAT, 0666));
    if (!file.IsOpen())
        throw FileFailure(L"Cannot open", native, errno);
    // A last line left without its end (edited by hand) is ended first, so that the
    // new record stands on a line of its own.
    struct stat info {};
    char last = '\n';
    if (readable && fstat(file.Get(), &info) == 0 && info.st_size > 0 &&
        ::pread(file.Get(), &last, 1, info.st_size - 1) == 1 && last != '\n')
        bytes.insert(0, "\r\n");
    // One write, so that lines appended by several workstations do not interleave.
    ssize_t put;
    do {
        put = ::write(file.Get(), bytes.data(), bytes.size());
    } while (put < 0 && errno == EINTR);
    if (put < 0)
        throw FileFailure(L"Cannot write", native, errno);
    if (static_cast<std::size_t>(put) != bytes.size())
        throw FileFailure(L"Cannot write", native, ENOSPC); // a short write: the disk is full
    if (int error = file.Close())
        throw FileFailure(L"Cannot write", native, error);
}

Text PosixPlatform::FindFirstMatch(const Text &pathPattern) {
    matches_.clear();
    nextMatch_ = 0;
    std::size_t cut = pathPattern.find_last_of(L"\\/");
    Text namePattern = cut == Text::npos ? pathPattern : pathPattern.substr(cut + 1);
    if (namePattern.empty())
        return L"";
    std::string folder = cut == Text::npos ? "." : ResolvePath(pathPattern.substr(0, cut + 1));
    for (const std::string &entry : FolderEntries(folder)) {
        if (entry.front() == '.')
            continue; // hidden
        Text name = TextFromUtf8(entry);
        if (!WildcardMatch(namePattern, name))
            continue;
        if (IsOrdinaryFile(folder.back() == '/' ? folder + entry : folder + "/" + entry))
            matches_.push_back(name);
    }
    std::sort(matches_.begin(), matches_.end(), LessIgnoringCase);
    return FindNextMatch();
}

Text PosixPlatform::FindNextMatch() {
    if (nextMatch_ >= matches_.size())
        return L"";
    return matches_[nextMatch_++];
}

namespace {

// Copies the whole file inside the kernel, as cp does, without passing the bytes
// through this process, `part` bytes at a time, telling `advance` after each part.
// False when the file systems do not support it and nothing was copied, so that
// the caller copies through a buffer instead.
bool CopyInKernel(int input, int output, const std::string &from, const std::string &to,
                  std::size_t part, const std::function<void(std::size_t)> &advance) {
#ifdef __linux__
    bool copiedAny = false;
    for (;;) {
        ssize_t got = ::copy_file_range(input, nullptr, output, nullptr, part, 0);
        if (got > 0) {
            copiedAny = true;
            advance(static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0)
            return true;
        if (errno == EINTR)
            continue;
        bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                           errno == EOPNOTSUPP || errno == EBADF;
        if (unsupported && !copiedAny)
            return false;
        bool writing = errno == ENOSPC || errno == EFBIG || errno == EDQUOT;
        throw FileFailure(writing ? L"Cannot write" : L"Cannot read", writing ? to : from, errno);
    }
#else
    (void)input, (void)output, (void)from, (void)to, (void)part, (void)advance;
    return false;
#endif
}

// Copies source over target; with `progress`, in parts small enough to report on.
void CopyFileReporting(const Text &source, const Text &target, const CopyProgress &progress) {
    std::string from = ResolvePath(source);
    std::string to = ResolvePath(target);
    struct stat sourceInfo {};
    FileDescriptor input = OpenForReading(from, sourceInfo);
    struct stat targetInfo {};
    if (stat(to.c_str(), &targetInfo) == 0 && targetInfo.st_dev == sourceInfo.st_dev &&
        targetInfo.st_ino == sourceInfo.st_ino)
        throw FileFailure(L"Cannot copy onto itself", to, EINVAL); // truncating would lose it
    mode_t mode = sourceInfo.st_mode & 0777;
    FileDescriptor output(OpenRetrying(to, O_WRONLY | O_CREAT | O_TRUNC, mode));
    if (!output.IsOpen())
        throw FileFailure(L"Cannot write", to, errno);
    // An existing target keeps its mode on open; the source's executable bits matter
    // (the companion program), so carry them over. Not owning the target only costs that.
    (void)fchmod(output.Get(), mode);

    const auto total = static_cast<std::uint64_t>(sourceInfo.st_size);
    std::uint64_t copied = 0;
    auto advance = [&](std::size_t count) {
        copied += count;
        if (progress)
            progress(copied, total);
    };
    if (progress)
        progress(0, total);
    const std::size_t part = progress ? 8 * 1024 * 1024 : std::size_t{1} << 30;
    if (!CopyInKernel(input.Get(), output.Get(), from, to, part, advance)) {
        std::vector<char> chunk(1024 * 1024);
        for (;;) {
            ssize_t got = ::read(input.Get(), chunk.data(), chunk.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw FileFailure(L"Cannot read", from, errno);
            if (got == 0)
                break;
            if (!WriteAll(output.Get(), chunk.data(), static_cast<std::size_t>(got)))
                throw FileFailure(L"Cannot write", to, errno);
            advance(static_cast<std::size_t>(got));
        }
    }
    if (int error = output.Close())
        throw FileFailure(L"Cannot write", to, error);
}

} // namespace

void PosixPlatform::CopyFileOver(const Text &source, const Text &target) {
    CopyFileReporting(source, target, nullptr);
}

void PosixPlatform::CopyFileOverWithProgress(const Text &source, const Text &target,
                                             const CopyProgress &progress) {
    CopyFileReporting(source, target, progress);
}

void PosixPlatform::MoveFileOver(const Text &source, const Text &target) {
    std::string from = ResolvePath(source);
    std::string to = ResolvePath(target);
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        int error = errno;
        throw Failure(L"Cannot move \"" + TextFromUtf8(from) + L"\" onto \"" + TextFromUtf8(to) +
                      L"\": " + ErrorText(error));
    }
}

void PosixPlatform::DeleteFileIfPresent(const Text &path) {
    std::string native = ResolvePath(path);
    if (::unlink(native.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR)
        throw FileFailure(L"Cannot delete", native, errno);
}

void PosixPlatform::EmptyFile(const Text &path) {
    std::string native = ResolvePath(path);
    // Truncated in place, never created: the file keeps its owner and its rights.
    FileDescriptor file(OpenRetrying(native, O_WRONLY | O_TRUNC));
    if (!file.IsOpen())
        throw FileFailure(L"Cannot empty", native, errno);
    if (int error = file.Close())
        throw FileFailure(L"Cannot empty", native, error);
}

Text PosixPlatform::ParentFolderOf(const Text &path) {
    return ParentFolderName(path);
}

} // namespace dravik
