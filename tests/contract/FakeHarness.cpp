#include "tests/contract/Harness.h"
#include "tests/fake/FakePlatform.h"

namespace dravik::contract {

namespace {

class FakeFileHold final : public FileHold {
public:
    FakeFileHold(FakePlatform &fake, Text path) : fake_(fake), path_(std::move(path)) {}
    ~FakeFileHold() override { fake_.LetGo(path_); }

private:
    FakePlatform &fake_;
    Text path_;
};

class FakeHarness final : public Harness {
public:
    FakeHarness() { fake_.AddFolder(Root()); }
    PlatformServices &Platform() override { return fake_; }
    Text Root() override { return L"C:\\scratch"; }
    void MakeFolder(const Text &path) override { fake_.AddFolder(path); }
    bool MakeLink(const Text &path, const Text &) override {
        fake_.PutLink(path);
        return true;
    }
    void WriteBytes(const Text &path, const std::string &bytes) override {
        fake_.PutFile(path, bytes);
    }
    std::optional<std::string> ReadBytes(const Text &path) override {
        return fake_.FileBytes(path);
    }
    void SetReadOnly(const Text &path) override {
        fake_.PutFile(path, fake_.FileBytes(path).value_or(""), FileAttributes{true, false, false});
    }
    bool IsReadOnly(const Text &path) override {
        auto attributes = fake_.AttributesOf(path);
        return attributes && attributes->readOnly;
    }
    void SameWriteTime(const Text &path, const Text &model) override {
        fake_.TakeWriteTime(path, model);
    }
    void SetEnv(const Text &name, const Text &value) override { fake_.environment[name] = value; }
    Text FreshRegistryKey() override { return L"Software\\DravikVT contract"; }
    std::unique_ptr<FileHold> Hold(const Text &path, Holder how,
                                   std::optional<int> letGoAfterMs) override {
        fake_.HoldFile(path, how == Holder::Appender ? FakeHold::Appender : FakeHold::SharingReader,
                       letGoAfterMs);
        return std::make_unique<FakeFileHold>(fake_, path);
    }
    std::int64_t ClockMs() override { return fake_.clockMs; }
    Text HeldFileText() override { return kFakeSharingViolation; }

private:
    FakePlatform fake_;
};

} // namespace

std::unique_ptr<Harness> MakeFakeHarness() {
    return std::make_unique<FakeHarness>();
}

} // namespace dravik::contract
