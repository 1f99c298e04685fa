// Text files, folder search, copying, moving, the held record file and deleting on POSIX.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "platform/Retry.h"
#include "platform/common/CaseMapping.h"
#include "platform/common/ChunkLines.h"
#include "platform/common/CodePage.h"
#include "platform/common/PathText.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileDescriptor.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PosixText.h"

namespace dravik {

namespace {

int OpenRetrying(const std::string &path, int flags, mode_t mode = 0) {
    return RetryOnInterrupt([&] { return ::open(path.c_str(), flags | O_CLOEXEC, mode); });
}

// Takes an exclusive flock without waiting: 0, or the errno that kept it from us.
int TryExclusiveLock(int descriptor) {
    return RetryOnInterrupt([&] { return ::flock(descriptor, LOCK_EX | LOCK_NB); }) == 0 ? 0
                                                                                         : errno;
}

// Opens an existing ordinary file for reading; a folder is not a file.
FileDescriptor OpenForReading(const std::string &path, struct stat &info) {
    FileDescriptor file(OpenRetrying(path, O_RDONLY));
    if (!file.IsOpen())
        throw SystemFailure(errno, path);
    if (fstat(file.Get(), &info) != 0)
        throw SystemFailure(errno, path);
    if (S_ISDIR(info.st_mode))
        throw SystemFailure(EISDIR, path);
    return file;
}

// Writes all bytes; false with errno set when the system refuses part of them.
bool WriteAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = RetryOnInterrupt([&] { return ::write(fd, data, size); });
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

namespace {

// Reads an open file from where it stands to its end, a chunk at a time, so that
// no file is ever held whole: the one reader of lines, copies and the record.
template <class OnChunk>
void ReadChunks(int descriptor, const std::string &native, OnChunk &&onChunk) {
    std::vector<char> chunk(256 * 1024);
    for (;;) {
        const ssize_t got =
            RetryOnInterrupt([&] { return ::read(descriptor, chunk.data(), chunk.size()); });
        if (got < 0)
            throw SystemFailure(errno, native);
        if (got == 0)
            return;
        onChunk(chunk.data(), static_cast<std::size_t>(got));
    }
}

// Hands each line on as soon as its end is seen, so that a long shared record file
// is never held whole.
template <class OnLine> void ReadLines(const Text &path, ChunkLines lines, OnLine &&handOn) {
    std::string native = ResolvePath(path);
    struct stat info {};
    FileDescriptor file = OpenForReading(native, info);
    ReadChunks(file.Get(), native,
               [&](const char *data, std::size_t size) { lines.Feed(data, size, handOn); });
    lines.Finish(handOn);
}

} // namespace

void PosixPlatform::ForEachLine(const Text &path, const std::function<void(const Text &)> &visit) {
    const SingleByteCodePage page = ActiveCodePage();
    Text line; // reused for every line: no allocation per line
    ReadLines(path, ChunkLines(kLongestLineKept), [&](const char *begin, std::size_t count) {
        DecodeSingleByteInto(begin, count, page, line);
        visit(line);
    });
}

void PosixPlatform::ForEachLineBytes(const Text &path,
                                     const std::function<void(const std::string &)> &visit) {
    ReadLines(path, ChunkLines(),
              [&](const char *begin, std::size_t count) { visit(std::string(begin, count)); });
}

Text PosixPlatform::DecodeAnsi(const std::string &bytes) {
    return DecodeSingleByte(bytes, ActiveCodePage());
}

namespace {

// Differs between processes that start together, so that their retries spread.
std::uint32_t RetrySeed() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_nsec) ^
           (static_cast<std::uint32_t>(getpid()) * 2654435761u);
}

// The outcome of one try at appending.
enum class Appended { Done, Refused, NotWanted };

// One try at appending `bytes` (the line end included). Another appender holding
// the file refuses it before anything is written; any other failure is thrown.
// The first line of the record file as it is now, read while the append holds it:
// through the append's own descriptor, or by path where that one may only write.
Text FirstLineHeld(int descriptor, bool readable, const std::string &native) {
    FileDescriptor byPath;
    if (!readable) {
        byPath.Reset(OpenRetrying(native, O_RDONLY));
        if (!byPath.IsOpen())
            throw SystemFailure(errno, native);
        descriptor = byPath.Get();
    }
    // Read as every line is read, from the start, until the first line is whole.
    struct Enough {};
    ChunkLines lines(kLongestLineKept);
    std::string first;
    auto take = [&first](const char *begin, std::size_t count) {
        first.assign(begin, count);
        throw Enough{};
    };
    try {
        ReadChunks(descriptor, native,
                   [&](const char *data, std::size_t size) { lines.Feed(data, size, take); });
        lines.Finish(take);
    } catch (const Enough &) {
    }
    return DecodeSingleByte(first, ActiveCodePage());
}

Appended TryAppend(const std::string &native, std::string bytes,
                   const std::function<bool(const Text &)> &stillWanted) {
    // Opened for reading too, to see how the file ends; a file we may only write to
    // is still appended to.
    FileDescriptor file(OpenRetrying(native, O_RDWR | O_APPEND | O_CREAT, 0666));
    bool readable = file.IsOpen();
    if (!readable && errno == EACCES)
        file.Reset(OpenRetrying(native, O_WRONLY | O_APPEND | O_CREAT, 0666));
    if (!file.IsOpen())
        throw SystemFailure(errno, native);
    // Appenders keep each other out for the whole append; readers take no lock and
    // are never kept out. A file system that cannot lock is still appended to, in
    // the one write below.
    const int locked = TryExclusiveLock(file.Get());
    if (locked == EWOULDBLOCK)
        return Appended::Refused;
    if (locked != 0 && locked != ENOLCK && locked != EOPNOTSUPP && locked != EINVAL)
        throw SystemFailure(locked, native);
    // Emptying the file takes the same lock, so what is checked here still holds
    // when the line is written.
    if (!stillWanted(FirstLineHeld(file.Get(), readable, native)))
        return Appended::NotWanted;
    // A last line left without its end (edited by hand) is ended first, so that the
    // new record stands on a line of its own.
    struct stat info {};
    char last = '\n';
    if (readable && fstat(file.Get(), &info) == 0 && info.st_size > 0 &&
        ::pread(file.Get(), &last, 1, info.st_size - 1) == 1 && last != '\n')
        bytes.insert(0, "\r\n");
    // One write, so that lines never interleave even where no lock could be taken.
    const ssize_t put =
        RetryOnInterrupt([&] { return ::write(file.Get(), bytes.data(), bytes.size()); });
    if (put < 0)
        throw SystemFailure(errno, native);
    if (static_cast<std::size_t>(put) != bytes.size())
        throw SystemFailure(ENOSPC, native); // a short write: the disk is full
    if (int error = file.Close())
        throw SystemFailure(error, native);
    return Appended::Done;
}

} // namespace

bool PosixPlatform::AppendLineIf(const Text &path, const Text &text,
                                 const std::function<bool(const Text &)> &stillWanted) {
    std::string native = ResolvePath(path);
    const std::string bytes = EncodeSingleByte(text + L"\r\n", ActiveCodePage());
    // Another workstation appending holds the file only for a moment, so a refusal
    // is tried again for a while before it counts as a failure.
    Appended outcome = Appended::Refused;
    if (!RetryWithin(
            *this, kRefusedAppendRetry,
            [&] {
                outcome = TryAppend(native, bytes, stillWanted);
                return outcome != Appended::Refused;
            },
            RetrySeed()))
        throw Failure(L"The file is being used by another process.", FailureKind::SharingViolation,
                      {TextFromUtf8(native)});
    return outcome == Appended::Done;
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

// The copied bytes and the whole size, for the caller's progress.
struct CopyCount {
    const CopyProgress &progress;
    std::uint64_t total;
    std::uint64_t copied = 0;

    void Add(std::size_t bytes) {
        copied += bytes;
        if (progress)
            progress(copied, total);
    }
};

// Copies the whole file inside the kernel, as cp does, without passing the bytes
// through this process. False when the file systems do not support it and nothing
// was copied, so that the caller copies through a buffer instead.
bool CopyInKernel(int input, int output, const std::string &from, const std::string &to,
                  CopyCount &count) {
#ifdef __linux__
    bool copiedAny = false;
    for (;;) {
        // In steps, so that the caller hears now and then how far it got.
        const ssize_t got = RetryOnInterrupt(
            [&] { return ::copy_file_range(input, nullptr, output, nullptr, 16 << 20, 0); });
        if (got > 0) {
            copiedAny = true;
            count.Add(static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0)
            return true;
        bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                           errno == EOPNOTSUPP || errno == EBADF;
        if (unsupported && !copiedAny)
            return false;
        bool writing = errno == ENOSPC || errno == EFBIG || errno == EDQUOT;
        throw SystemFailure(errno, writing ? to : from);
    }
#else
    (void)input, (void)output, (void)from, (void)to, (void)count;
    return false;
#endif
}

void CopyContents(FileDescriptor &input, FileDescriptor &output, const std::string &from,
                  const std::string &to, mode_t mode, CopyCount &count) {
    // An existing target keeps its mode on open; the source's executable bits matter
    // (the companion program), so carry them over. Not owning the target only costs that.
    (void)fchmod(output.Get(), mode);
    if (!CopyInKernel(input.Get(), output.Get(), from, to, count))
        ReadChunks(input.Get(), from, [&](const char *data, std::size_t size) {
            if (!WriteAll(output.Get(), data, size))
                throw SystemFailure(errno, to);
            count.Add(size);
        });
    if (int error = output.Close())
        throw SystemFailure(error, to);
}

// Copies `from` into `to`, opened with `createFlags` (O_TRUNC to replace, O_EXCL to
// make a new file, which a failed copy then removes). The new file takes the
// source's permission bits, as a copy on Windows takes its attributes.
void CopyFile(const std::string &from, const std::string &to, int createFlags,
              const CopyProgress &progress = {}) {
    struct stat sourceInfo {};
    FileDescriptor input = OpenForReading(from, sourceInfo);
    struct stat targetInfo {};
    if (stat(to.c_str(), &targetInfo) == 0 && targetInfo.st_dev == sourceInfo.st_dev &&
        targetInfo.st_ino == sourceInfo.st_ino)
        throw Failure(L"Cannot copy a file onto itself", FailureKind::Other,
                      {TextFromUtf8(from), TextFromUtf8(to)}); // truncating would lose it
    mode_t mode = sourceInfo.st_mode & 0777;
    FileDescriptor output(OpenRetrying(to, O_WRONLY | O_CREAT | createFlags, mode));
    if (!output.IsOpen())
        throw SystemFailure(errno, to);
    CopyCount count{progress, static_cast<std::uint64_t>(sourceInfo.st_size)};
    if (progress)
        progress(0, count.total);
    try {
        CopyContents(input, output, from, to, mode, count);
    } catch (const Failure &) {
        if (createFlags & O_EXCL)
            ::unlink(to.c_str()); // made by this call, so its own to remove
        throw;
    }
}

// A lock taken with flock: it belongs to this open file, so it goes when the
// descriptor is closed, by the destructor or by the end of the process.
class PosixFileLock final : public FileLock {
public:
    explicit PosixFileLock(FileDescriptor file) : file_(std::move(file)) {}

private:
    FileDescriptor file_;
};

} // namespace

void PosixPlatform::CopyFileOver(const Text &source, const Text &target,
                                 const CopyProgress &progress) {
    CopyFile(ResolvePath(source), ResolvePath(target), O_TRUNC, progress);
}

void PosixPlatform::CopyToNewFile(const Text &source, const Text &target,
                                  const CopyProgress &progress) {
    CopyFile(ResolvePath(source), ResolvePath(target), O_EXCL, progress);
}

FileStamp PosixPlatform::StampOf(const Text &path) {
    std::string native = ResolvePath(path);
    // An open makes a network client ask the server (close-to-open), where a look by
    // name may be answered from its cache. A file we may not read is looked at by name.
    struct stat info {};
    FileDescriptor file(OpenRetrying(native, O_RDONLY | O_NONBLOCK | O_NOCTTY));
    const int looked = file.IsOpen()     ? fstat(file.Get(), &info)
                       : errno == EACCES ? stat(native.c_str(), &info)
                                         : -1;
    if (looked != 0)
        throw SystemFailure(errno, native);
    FileStamp stamp;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.lastWrite = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                      static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    stamp.fileId = static_cast<std::uint64_t>(info.st_ino);
    return stamp;
}

namespace {

// fsync; 0 or errno.
int SyncDescriptor(int descriptor) {
    return RetryOnInterrupt([&] { return ::fsync(descriptor); }) == 0 ? 0 : errno;
}

// A file system that cannot sync a folder (some network mounts) has nothing to say.
bool CannotSync(int error) {
    return error == EINVAL || error == EROFS || error == ENOTSUP || error == EBADF;
}

} // namespace

void PosixPlatform::FlushFile(const Text &path) {
    std::string native = ResolvePath(path);
    FileDescriptor file(OpenRetrying(native, O_RDONLY | O_NONBLOCK | O_NOCTTY));
    if (!file.IsOpen())
        throw SystemFailure(errno, native);
    if (int error = SyncDescriptor(file.Get()); error != 0 && !CannotSync(error))
        throw SystemFailure(error, native);
}

// Read-only on POSIX is a missing write permission for the owner; hidden and system
// have no counterpart.
void PosixPlatform::MakeFileOrdinary(const Text &path) {
    std::string native = ResolvePath(path);
    struct stat info {};
    if (stat(native.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return;
        throw SystemFailure(errno, native);
    }
    if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0 &&
        chmod(native.c_str(), (info.st_mode & 07777) | S_IWUSR) != 0)
        throw SystemFailure(errno, native);
}

std::unique_ptr<FileLock> PosixPlatform::TryLockFile(const Text &path) {
    std::string native = ResolvePath(path);
    FileDescriptor file(OpenRetrying(native, O_RDWR | O_CREAT, 0666));
    if (!file.IsOpen())
        throw SystemFailure(errno, native);
    const int locked = TryExclusiveLock(file.Get());
    if (locked == 0)
        return std::make_unique<PosixFileLock>(std::move(file));
    if (locked == EWOULDBLOCK)
        return nullptr;
    throw SystemFailure(locked, native);
}

void PosixPlatform::MoveFileOver(const Text &source, const Text &target) {
    std::string from = ResolvePath(source);
    std::string to = ResolvePath(target);
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        int error = errno;
        throw SystemFailure(error, {TextFromUtf8(from), TextFromUtf8(to)});
    }
    // The rename is an entry of the folder: it is on the disk once the folder is.
    const std::size_t cut = to.find_last_of('/');
    const std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : to.substr(0, cut);
    FileDescriptor directory(OpenRetrying(folder, O_RDONLY | O_DIRECTORY));
    if (!directory.IsOpen())
        throw SystemFailure(errno, folder);
    if (int error = SyncDescriptor(directory.Get()); error != 0 && !CannotSync(error))
        throw SystemFailure(error, folder);
}

void PosixPlatform::DeleteFileIfPresent(const Text &path) {
    std::string native = ResolvePath(path);
    if (::unlink(native.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR)
        throw SystemFailure(errno, native);
}

namespace {

// The record file under the appenders' lock: the lock belongs to this open file,
// so it goes with the descriptor, by the destructor or by the end of the process.
class PosixHeldRecord final : public HeldRecord {
public:
    PosixHeldRecord(FileDescriptor file, std::string native)
        : file_(std::move(file)), native_(std::move(native)) {}

    void CopyTo(const Text &target) override {
        const std::string to = ResolvePath(target);
        FileDescriptor output(OpenRetrying(to, O_WRONLY | O_CREAT | O_TRUNC, 0666));
        if (!output.IsOpen())
            throw SystemFailure(errno, to);
        if (::lseek(file_.Get(), 0, SEEK_SET) != 0)
            throw SystemFailure(errno, native_);
        ReadChunks(file_.Get(), native_, [&](const char *data, std::size_t size) {
            if (!WriteAll(output.Get(), data, size))
                throw SystemFailure(errno, to);
        });
        if (int error = SyncDescriptor(output.Get()); error != 0 && !CannotSync(error))
            throw SystemFailure(error, to);
        if (int error = output.Close())
            throw SystemFailure(error, to);
    }
    void Cut() override {
        if (RetryOnInterrupt([&] { return ::ftruncate(file_.Get(), 0); }) != 0)
            throw SystemFailure(errno, native_);
    }
    void WriteLine(const Text &line) override {
        const std::string bytes = EncodeSingleByte(line + L"\r\n", ActiveCodePage());
        if (::lseek(file_.Get(), 0, SEEK_END) < 0 ||
            !WriteAll(file_.Get(), bytes.data(), bytes.size()))
            throw SystemFailure(errno, native_);
    }
    void Flush() override {
        if (int error = SyncDescriptor(file_.Get()); error != 0 && !CannotSync(error))
            throw SystemFailure(error, native_);
    }

private:
    FileDescriptor file_;
    std::string native_;
};

} // namespace

std::unique_ptr<HeldRecord> PosixPlatform::TryHoldRecord(const Text &path) {
    std::string native = ResolvePath(path);
    // Never created, never cut on opening, never through a link: the file keeps its
    // owner and its rights, and a link's target is never touched.
    FileDescriptor file(OpenRetrying(native, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!file.IsOpen())
        throw SystemFailure(errno, native);
    struct stat info {};
    if (fstat(file.Get(), &info) != 0)
        throw SystemFailure(errno, native);
    if (!S_ISREG(info.st_mode))
        throw SystemFailure(S_ISDIR(info.st_mode) ? EISDIR : EINVAL, native);
    // The lock every appender takes. Where the file system cannot lock, the
    // appenders could not either.
    const int locked = TryExclusiveLock(file.Get());
    if (locked == EWOULDBLOCK)
        return nullptr;
    if (locked != 0 && locked != ENOLCK && locked != EOPNOTSUPP && locked != EINVAL)
        throw SystemFailure(locked, native);
    return std::make_unique<PosixHeldRecord>(std::move(file), std::move(native));
}

PathKind PosixPlatform::KindOfPath(const Text &path) {
    std::string native = ResolvePath(path);
    struct stat info {};
    if (lstat(native.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return PathKind::Nothing;
        throw SystemFailure(errno, native);
    }
    if (S_ISLNK(info.st_mode))
        return PathKind::Link;
    if (S_ISDIR(info.st_mode))
        return PathKind::Folder;
    return PathKind::File;
}

void PosixPlatform::MakeFolder(const Text &path) {
    std::string native = ResolvePath(path);
    if (::mkdir(native.c_str(), 0777) != 0 && !(errno == EEXIST && !IsOrdinaryFile(native)))
        throw SystemFailure(errno, native);
}

void PosixPlatform::WriteWholeFile(const Text &path, const std::string &bytes) {
    std::string native = ResolvePath(path);
    FileDescriptor file(OpenRetrying(native, O_WRONLY | O_CREAT | O_TRUNC, 0666));
    if (!file.IsOpen())
        throw SystemFailure(errno, native);
    if (!WriteAll(file.Get(), bytes.data(), bytes.size()))
        throw SystemFailure(errno, native);
    if (int error = file.Close())
        throw SystemFailure(error, native);
}

Text PosixPlatform::ParentFolderOf(const Text &path) {
    return ParentFolderName(path);
}

} // namespace dravik
