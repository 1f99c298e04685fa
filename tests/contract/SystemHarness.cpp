// The harness over the real file system and registry of the machine the suite
// runs on: Windows (under Wine here) or POSIX.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/SystemPlatform.h"
#include "tests/contract/Harness.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
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
        root_ = fs::temp_directory_path() / (L"dravikvt-contract-" + UniqueSuffix());
        fs::create_directories(root_);
#ifndef _WIN32
        // Keep the registry store of the person running the tests out of reach.
        fs::path registry = root_.parent_path() / (root_.filename().wstring() + L"-registry");
        setenv("DRAVIKVT_REGISTRY", registry.string().c_str(), 1);
        registry_ = registry;
#endif
        platform_ = MakeSystemPlatform();
    }
    ~SystemHarness() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
        if (!registry_.empty())
            fs::remove_all(registry_, ignored);
    }

    PlatformServices &Platform() override {
        return *platform_;
    }
    Text Root() override {
        return root_.wstring();
    }
    void MakeFolder(const Text &path) override {
        fs::create_directories(ToPath(path));
    }
    void WriteBytes(const Text &path, const std::string &bytes) override {
        std::ofstream out(ToPath(path), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::optional<std::string> ReadBytes(const Text &path) override {
        std::ifstream in(ToPath(path), std::ios::binary);
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void SetReadOnly(const Text &path) override {
        fs::permissions(ToPath(path),
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    bool IsReadOnly(const Text &path) override {
        return (fs::status(ToPath(path)).permissions() & fs::perms::owner_write) == fs::perms::none;
    }
    void SetEnv(const Text &name, const Text &value) override {
#ifdef _WIN32
        _wputenv_s(name.c_str(), value.c_str());
#else
        setenv(fs::path(name).string().c_str(), fs::path(value).string().c_str(), 1);
#endif
    }
    Text FreshRegistryKey() override {
        return L"Software\\DravikVT contract\\" + UniqueSuffix();
    }
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
    fs::path root_;
    fs::path registry_;
    std::unique_ptr<PlatformServices> platform_;
};

} // namespace

std::unique_ptr<Harness> MakeSystemHarness() {
    return std::make_unique<SystemHarness>();
}

} // namespace dravik::contract
