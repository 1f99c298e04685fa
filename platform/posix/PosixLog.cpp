// The log a site may switch on, on POSIX: appended under an flock, moved aside
// once it is long enough.
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/Retry.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileDescriptor.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PosixText.h"

namespace dravik {

namespace {

// Another launcher holds the log only while it writes one line: a few short
// waits are plenty, and a start never waits longer for its log.
constexpr RetryPlan kLogWait{200, 20};

bool SameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::int64_t PosixPlatform::MillisecondsNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void PosixPlatform::AppendToLog(const Text &path, const Text &line, std::uint64_t rotateAt) {
    const std::string native = ResolvePath(path);
    const std::string bytes = Utf8FromText(line + L"\r\n");
    // Each try answers false when another launcher holds the log, or when the log
    // it opened was moved aside meanwhile (by it, or by this try): then it is opened anew.
    const bool written = RetryWithin(*this, kLogWait, [&] {
        FileDescriptor file(RetryOnInterrupt([&] {
            return ::open(native.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        }));
        if (!file.IsOpen())
            throw SystemFailure(errno, native);
        if (RetryOnInterrupt([&] { return ::flock(file.Get(), LOCK_EX | LOCK_NB); }) != 0 &&
            errno == EWOULDBLOCK)
            return false;
        // Held, the log is ours alone.
        struct stat held {
        }, named{};
        if (fstat(file.Get(), &held) != 0)
            throw SystemFailure(errno, native);
        if (stat(native.c_str(), &named) != 0 || !SameFile(held, named))
            return false;
        if (static_cast<std::uint64_t>(held.st_size) >= rotateAt) {
            const std::string older = ResolvePath(path + L".1");
            if (std::rename(native.c_str(), older.c_str()) != 0)
                throw SystemFailure(errno, native);
            return false;
        }
        const std::string withMark = held.st_size == 0 ? "\xEF\xBB\xBF" + bytes : bytes;
        const ssize_t put =
            RetryOnInterrupt([&] { return ::write(file.Get(), withMark.data(), withMark.size()); });
        if (put < 0)
            throw SystemFailure(errno, native);
        if (static_cast<std::size_t>(put) != withMark.size())
            throw SystemFailure(ENOSPC, native);
        if (int error = file.Close())
            throw SystemFailure(error, native);
        return true;
    });
    if (!written)
        throw Failure(L"The log is being used by another process.", FailureKind::SharingViolation,
                      {path});
}

} // namespace dravik
