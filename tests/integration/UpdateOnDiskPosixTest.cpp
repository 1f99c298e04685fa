// Failures of the update that POSIX produces its own way: a file-size limit that
// stops a copy half-way, folders and files that refuse writing or reading.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/integration/DiskScene.h"

namespace dravik::test {
namespace {

// Lowers this process's file-size limit for its lifetime. SIGXFSZ is ignored
// meanwhile, so a write past the limit fails with EFBIG instead of killing the test.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldSignal_ = signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldSignal_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool Active() const { return active_; }

private:
    rlimit old_{};
    void (*oldSignal_)(int) = SIG_DFL;
    bool active_ = false;
};

// A file or folder that refuses writing while this lives. Permissions do not
// stop root, so for root the immutable attribute does it (where the file system
// has one); `Error()` is the errno a write then meets.
class WriteProtection {
public:
    WriteProtection(const fs::path &path, mode_t readOnlyMode) : path_(path) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0)
            return;
        oldMode_ = info.st_mode & 07777;
        if (geteuid() != 0) {
            active_ = chmod(path.c_str(), readOnlyMode) == 0;
            error_ = EACCES;
            return;
        }
        int flags = 0;
        int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return;
        if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            active_ = immutable_ = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        close(fd);
        error_ = EPERM;
    }
    ~WriteProtection() {
        if (immutable_) {
            int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            int flags = 0;
            if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0)
                close(fd);
        } else if (active_) {
            chmod(path_.c_str(), oldMode_);
        }
    }
    WriteProtection(const WriteProtection &) = delete;
    WriteProtection &operator=(const WriteProtection &) = delete;

    bool Active() const { return active_; }
    int Error() const { return error_; }

private:
    fs::path path_;
    mode_t oldMode_ = 0;
    bool active_ = false;
    bool immutable_ = false;
    int error_ = 0;
};

using UpdateOnPosixDisk = DiskScene;

TEST_F(UpdateOnPosixDisk, ACopyStoppedHalfWayByAFullDiskKeepsTheOldFrontEnd) {
    ServerFiles(3 * 1024 * 1024);
    OldLocalFiles();
    std::optional<Text> failure;
    {
        FileSizeLimit limit(1024 * 1024); // a third of the front end fits
        ASSERT_TRUE(limit.Active());
        failure = Update();
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find(SystemText(EFBIG)), Text::npos) << Utf8(*failure);
    // The copy the user knows is named, never the temporary file.
    EXPECT_NE(failure->find(program.wstring() + L"\\uxVTade.ade\")"), Text::npos) << Utf8(*failure);
    EXPECT_EQ(failure->find(L".dravik-tmp"), Text::npos) << Utf8(*failure);
    EXPECT_EQ(Local("uxVTade.ade"), OldFrontEnd());
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_TRUE(NothingRecorded());
    EXPECT_EQ(Local("RUXVT2.ACCDE"), "<absent>");
}

TEST_F(UpdateOnPosixDisk, AProgramFolderThatTakesNoNewFilesFailsAndKeepsTheOldCopy) {
    ServerFiles(200000);
    OldLocalFiles();
    std::optional<Text> failure;
    int expected = 0;
    {
        WriteProtection protection(program, 0555);
        if (!protection.Active())
            GTEST_SKIP() << "running as root on a file system without the immutable attribute: "
                            "nothing makes the folder refuse root";
        expected = protection.Error();
        failure = Update();
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find(SystemText(expected)), Text::npos) << Utf8(*failure);
    EXPECT_EQ(Local("uxVTade.ade"), OldFrontEnd());
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(UpdateOnPosixDisk, AFrontEndWithoutReadPermissionFailsAndNothingIsRecorded) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads a file of mode 000; the folder-as-front-end case covers root";
    ServerFiles(200000);
    OldLocalFiles();
    ASSERT_EQ(chmod((server / "uxVTade.ade").c_str(), 0), 0);
    std::optional<Text> failure = Update();
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find(SystemText(EACCES)), Text::npos) << Utf8(*failure);
    EXPECT_EQ(Local("uxVTade.ade"), OldFrontEnd());
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(UpdateOnPosixDisk, ARecordFileThatRefusesWritingFailsAfterTheCopies) {
    ServerFiles(200000);
    OldLocalFiles();
    const std::string earlier = "PC01_ivo\t\t1.12.2026. - 8:00:00\r\n";
    WriteBytes(server / "Kolacici.txt", earlier);
    std::optional<Text> failure;
    int expected = 0;
    {
        WriteProtection protection(server / "Kolacici.txt", 0444);
        if (!protection.Active())
            GTEST_SKIP() << "running as root on a file system without the immutable attribute";
        expected = protection.Error();
        failure = Update();
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find(SystemText(expected)), Text::npos) << Utf8(*failure);
    EXPECT_EQ(Local("uxVTade.ade"), Server("uxVTade.ade"));
    EXPECT_EQ(Local("Velkor_2007.exe"), Server("Velkor_2007.exe"));
    EXPECT_EQ(Server("Kolacici.txt"), earlier);
    EXPECT_TRUE(NoTemporaryFiles());
}

} // namespace
} // namespace dravik::test
