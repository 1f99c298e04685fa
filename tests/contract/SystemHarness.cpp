// The harness over the real file system and registry of the machine the suite
// runs on: Windows (under Wine here) or POSIX.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/SystemPlatform.h"
#include "tests/contract/Harness.h"
#include "tests/support/Bytes.h"
#include "tests/support/Environment.h"
#include "tests/support/ScratchFolder.h"

#ifdef _WIN32
#include "platform/win32/Win32Error.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace dravik::contract {

namespace fs = std::filesystem;

namespace {

std::wstring UniqueSuffix() {
    static std::atomic<int> counter{0};
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::to_wstring(now) + L"-" + std::to_wstring(++counter);
}

fs::path ToPath(const Text &path) {
#ifdef _WIN32
    return fs::path(path);
#else
    Text slashed = path;
    for (auto &c : slashed)
        if (c == L'\\')
            c = L'/';
    return fs::path(slashed);
#endif
}

// A file held open as another program would hold it. Letting go is closing.
class SystemFileHold final : public FileHold {
public:
    SystemFileHold(const fs::path &path, Holder how, std::optional<int> letGoAfterMs) {
#ifdef _WIN32
        // A launcher appends with append access, letting others only read.
        const bool appender = how == Holder::Appender;
        handle_ = ::CreateFileW(
            path.wstring().c_str(), appender ? FILE_APPEND_DATA | FILE_READ_DATA : GENERIC_READ,
            appender ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE)
            throw std::runtime_error("cannot hold " + path.string());
#else
        // A launcher appends under an exclusive lock; a reader takes none.
        fd_ = ::open(path.c_str(), how == Holder::Appender ? O_RDWR | O_APPEND : O_RDONLY);
        if (fd_ < 0 || (how == Holder::Appender && ::flock(fd_, LOCK_EX | LOCK_NB) != 0))
            throw std::runtime_error("cannot hold " + path.string());
#endif
        if (letGoAfterMs)
            letGo_ = std::thread([this, ms = *letGoAfterMs] {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                Close();
            });
    }
    ~SystemFileHold() override {
        if (letGo_.joinable())
            letGo_.join();
        Close();
    }

private:
    void Close() {
#ifdef _WIN32
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
#else
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
#endif
    }

#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
    std::thread letGo_;
};

class SystemHarness final : public Harness {
public:
    SystemHarness() {
        fs::create_directory(scratch_.Path() / "files");
        // Keep the registry store of the person running the tests out of reach (POSIX).
        test::SetEnvironment(L"DRAVIKVT_REGISTRY", (scratch_.Path() / "registry").wstring());
        platform_ = MakeSystemPlatform();
    }

    PlatformServices &Platform() override { return *platform_; }
    Text Root() override { return (scratch_.Path() / "files").wstring(); }
    void MakeFolder(const Text &path) override { fs::create_directories(ToPath(path)); }
    bool MakeLink(const Text &path, const Text &target) override {
        std::error_code error;
        fs::create_symlink(ToPath(target), ToPath(path), error);
        return !error;
    }
    void WriteBytes(const Text &path, const std::string &bytes) override {
        test::WriteBytes(ToPath(path), bytes);
    }
    std::optional<std::string> ReadBytes(const Text &path) override {
        return test::ReadBytes(ToPath(path));
    }
    void SetReadOnly(const Text &path) override {
        fs::permissions(ToPath(path),
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    bool IsReadOnly(const Text &path) override {
        return (fs::status(ToPath(path)).permissions() & fs::perms::owner_write) == fs::perms::none;
    }
    void SameWriteTime(const Text &path, const Text &model) override {
        const auto time =
            std::chrono::floor<std::chrono::seconds>(fs::last_write_time(ToPath(model)));
        fs::last_write_time(ToPath(model), time);
        fs::last_write_time(ToPath(path), time);
    }
    void SetEnv(const Text &name, const Text &value) override { test::SetEnvironment(name, value); }
    Text FreshRegistryKey() override { return L"Software\\DravikVT contract\\" + UniqueSuffix(); }
    std::unique_ptr<FileHold> Hold(const Text &path, Holder how,
                                   std::optional<int> letGoAfterMs) override {
        return std::make_unique<SystemFileHold>(ToPath(path), how, letGoAfterMs);
    }
    std::int64_t ClockMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    Text HeldFileText() override {
#ifdef _WIN32
        return SystemErrorText(ERROR_SHARING_VIOLATION);
#else
        return L"The file is being used by another process.";
#endif
    }

private:
    test::ScratchFolder scratch_;
    std::unique_ptr<PlatformServices> platform_;
};

} // namespace

std::unique_ptr<Harness> MakeSystemHarness() {
    return std::make_unique<SystemHarness>();
}

} // namespace dravik::contract
