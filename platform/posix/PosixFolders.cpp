// The folders DravikPublish keeps for itself: listing and removing them, and
// telling whether two files hold the same bytes.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/common/CaseMapping.h"
#include "platform/common/PathText.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileDescriptor.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PosixText.h"

namespace dravik {

namespace {

std::string Join(const std::string &folder, const std::string &name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool IsFolder(const std::string &path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Reads up to `size` bytes, fewer only at the end of the file.
ssize_t ReadFull(int fd, char *data, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t part = RetryOnInterrupt([&] { return ::read(fd, data + got, size - got); });
        if (part < 0)
            return -1;
        if (part == 0)
            break;
        got += static_cast<std::size_t>(part);
    }
    return static_cast<ssize_t>(got);
}

// An ordinary file opened for reading; not open when it is not there.
FileDescriptor OpenIfThere(const std::string &native) {
    FileDescriptor file(
        RetryOnInterrupt([&] { return ::open(native.c_str(), O_RDONLY | O_CLOEXEC); }));
    if (!file.IsOpen() && errno != ENOENT && errno != ENOTDIR)
        throw SystemFailure(errno, native);
    return file;
}

} // namespace

std::vector<Text> PosixPlatform::FoldersMatching(const Text &pathPattern) {
    const std::size_t cut = pathPattern.find_last_of(L"\\/");
    const Text namePattern = cut == Text::npos ? pathPattern : pathPattern.substr(cut + 1);
    const std::string folder =
        cut == Text::npos ? "." : ResolvePath(pathPattern.substr(0, cut + 1));
    std::vector<Text> names;
    for (const std::string &entry : FolderEntries(folder)) {
        const Text name = TextFromUtf8(entry);
        if (entry.front() != '.' && WildcardMatch(namePattern, name) &&
            IsFolder(Join(folder, entry)))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(),
              [](const Text &a, const Text &b) { return UpperText(a) < UpperText(b); });
    return names;
}

void PosixPlatform::RemoveFolder(const Text &path) {
    const std::string native = ResolvePath(path);
    if (!IsFolder(native))
        return;
    for (const std::string &entry : FolderEntries(native))
        if (::unlink(Join(native, entry).c_str()) != 0 && errno != ENOENT)
            throw SystemFailure(errno == EISDIR ? ENOTEMPTY : errno, Join(native, entry));
    if (::rmdir(native.c_str()) != 0 && errno != ENOENT)
        throw SystemFailure(errno, native);
}

bool PosixPlatform::SameBytes(const Text &first, const Text &second) {
    const std::string a = ResolvePath(first), b = ResolvePath(second);
    FileDescriptor fileA = OpenIfThere(a), fileB = OpenIfThere(b);
    if (!fileA.IsOpen() || !fileB.IsOpen())
        return false;
    struct stat infoA {
    }, infoB{};
    if (fstat(fileA.Get(), &infoA) != 0 || fstat(fileB.Get(), &infoB) != 0)
        throw SystemFailure(errno, a);
    if (!S_ISREG(infoA.st_mode) || !S_ISREG(infoB.st_mode) || infoA.st_size != infoB.st_size)
        return false;
    std::vector<char> partA(256 * 1024), partB(partA.size());
    for (;;) {
        const ssize_t gotA = ReadFull(fileA.Get(), partA.data(), partA.size());
        if (gotA < 0)
            throw SystemFailure(errno, a);
        const ssize_t gotB = ReadFull(fileB.Get(), partB.data(), partB.size());
        if (gotB < 0)
            throw SystemFailure(errno, b);
        if (gotA != gotB ||
            std::memcmp(partA.data(), partB.data(), static_cast<std::size_t>(gotA)) != 0)
            return false;
        if (gotA == 0)
            return true;
    }
}

} // namespace dravik
