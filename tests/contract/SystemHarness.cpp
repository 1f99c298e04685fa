// The harness over the real file system and registry of the machine the suite
// runs on: Windows (under Wine here) or POSIX.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/SystemPlatform.h"
#include "tests/contract/Harness.h"

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
