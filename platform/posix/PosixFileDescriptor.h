// An open file descriptor that closes itself.
#pragma once

#include <cerrno>
#include <unistd.h>

namespace dravik {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor &operator=(FileDescriptor &&) = delete;

    int Get() const { return fd_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    bool IsOpen() const { return fd_ >= 0; }
    // Closes now, for callers that must know whether the close succeeded; 0 or errno.
    int Close() {
        int result = 0;
        if (fd_ >= 0 && ::close(fd_) != 0)
            result = errno;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

} // namespace dravik
