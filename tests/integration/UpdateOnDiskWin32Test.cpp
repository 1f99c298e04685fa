// Failures of the update that Windows produces its own way: files held open by
// another program without sharing, and a byte range locked in the middle of the
// server's front end.
#include <windows.h>

#include <memory>
#include <thread>
#include <utility>

#include "tests/integration/DiskScene.h"

namespace dravik::test {
namespace {

// A file held open the way another program might hold it.
class HeldFile {
public:
    HeldFile(const fs::path &path, DWORD access, DWORD share)
        : handle_(::CreateFileW(path.wstring().c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() {
        if (IsOpen())
            ::CloseHandle(handle_);
    }
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// Whether a second handle can read at `offset` of a file while a range there is
// locked: Windows refuses, some emulations of it do not enforce the lock.
bool LockedRangeCanBeRead(const fs::path &path, DWORD offset) {
    HeldFile reader(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!reader.IsOpen())
        return false;
    LARGE_INTEGER position{};
    position.QuadPart = offset;
    char byte = 0;
    DWORD got = 0;
    return ::SetFilePointerEx(reader.Get(), position, nullptr, FILE_BEGIN) &&
           ::ReadFile(reader.Get(), &byte, 1, &got, nullptr) && got == 1;
}

using UpdateOnWindowsDisk = DiskScene;

TEST_F(UpdateOnWindowsDisk, ACopyStoppedHalfWayByALockedRangeKeepsTheOldFrontEnd) {
    const std::size_t size = 3 * 1024 * 1024;
    ServerFiles(size);
    OldLocalFiles();
    const DWORD middle = static_cast<DWORD>(size / 2);
    HeldFile holder(server / "uxVTade.ade", GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(holder.IsOpen());
    OVERLAPPED at{};
    at.Offset = middle;
    ASSERT_TRUE(::LockFileEx(holder.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                             64 * 1024, 0, &at));
    if (LockedRangeCanBeRead(server / "uxVTade.ade", middle + 1)) {
        ::UnlockFileEx(holder.Get(), 0, 64 * 1024, 0, &at);
        GTEST_SKIP() << "this system does not enforce byte-range locks on reads (Wine does not), "
                        "so no read fails half-way";
    }

    std::optional<Text> failure = Update();
    ::UnlockFileEx(holder.Get(), 0, 64 * 1024, 0, &at);

    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(*failure, SystemText(ERROR_LOCK_VIOLATION)) << Utf8(*failure);
    EXPECT_EQ(Local("uxVTade.ade"), OldFrontEnd());
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_TRUE(NothingRecorded());
}

// Access holds it sharing nothing; a program that only looks at its attributes
// shares everything, yet keeps a move over it out all the same.
TEST_F(UpdateOnWindowsDisk, ALocalFrontEndHeldOpenFailsAsInUseAndStays) {
    ServerFiles(200000);
    OldLocalFiles();
    for (const auto &[access, share] :
         {std::pair<DWORD, DWORD>{GENERIC_READ, 0},
          {FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
        std::optional<Text> failure;
        {
            HeldFile holder(program / "uxVTade.ade", access, share);
            ASSERT_TRUE(holder.IsOpen());
            failure = Update();
        }
        ASSERT_TRUE(failure.has_value()) << access;
        EXPECT_EQ(*failure, CopyOf(SystemText(ERROR_SHARING_VIOLATION), L"uxVTade.ade"))
            << Utf8(*failure);
        EXPECT_EQ(Local("uxVTade.ade"), OldFrontEnd());
        EXPECT_TRUE(NoTemporaryFiles());
        EXPECT_TRUE(NothingRecorded());
    }
}

TEST_F(UpdateOnWindowsDisk, AServerFrontEndHeldOpenWithoutSharingFailsAndNothingIsRecorded) {
    ServerFiles(200000);
    OldLocalFiles();
    std::optional<Text> failure;
    {
        HeldFile writer(server / "uxVTade.ade", GENERIC_READ | GENERIC_WRITE, 0);
        ASSERT_TRUE(writer.IsOpen());
        failure = Update();
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(*failure, CopyOf(SystemText(ERROR_SHARING_VIOLATION), L"uxVTade.ade"))
        << Utf8(*failure);
    EXPECT_EQ(Local("uxVTade.ade"), OldFrontEnd());
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_TRUE(NothingRecorded());
}

// A program that holds the record file sharing nothing, for longer than one append
// tries, is waited for; the copies are recorded once it lets go.
TEST_F(UpdateOnWindowsDisk, ARecordFileHeldOpenWithoutSharingIsWaitedFor) {
    ServerFiles(200000);
    OldLocalFiles();
    const std::string earlier = "PC01_ivo\t\t1.12.2026. - 8:00:00\r\n";
    WriteBytes(server / "Kolacici.txt", earlier);
    auto other =
        std::make_unique<HeldFile>(server / "Kolacici.txt", GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_TRUE(other->IsOpen());
    std::thread letGo([&other] {
        Sleep(4000);
        other.reset();
    });
    const ULONGLONG start = GetTickCount64();
    const std::optional<Text> failure = Update();
    const ULONGLONG took = GetTickCount64() - start;
    letGo.join();
    EXPECT_FALSE(failure.has_value()) << Utf8(failure.value_or(L""));
    EXPECT_GE(took, 3500u);
    EXPECT_EQ(Local("uxVTade.ade"), Server("uxVTade.ade"));
    EXPECT_EQ(Local("Velkor_2007.exe"), Server("Velkor_2007.exe"));
    EXPECT_EQ(Server("Kolacici.txt").rfind(earlier + "PC07_ana\t\t", 0), 0u);
    EXPECT_TRUE(NoTemporaryFiles());
}

} // namespace
} // namespace dravik::test
