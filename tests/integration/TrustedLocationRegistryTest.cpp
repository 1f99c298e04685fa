// The trusted-location registration against the registry of the platform itself:
// Wine's real registry for the Win32 build, the registry folder for POSIX.
#include <gtest/gtest.h>

#include <chrono>
#include <cwctype>
#include <filesystem>
#include <string>

#include "launcher/TrustedLocation.h"
#include "platform/SystemPlatform.h"
#include "tests/integration/TestPlatform.h"
#include "tests/support/TestText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace dravik::test {
namespace {

namespace fs = std::filesystem;

Text Locations(const Text &version = L"14.0") {
    return L"Software\\Microsoft\\Office\\" + version + L"\\Access\\Security\\Trusted Locations";
}

class TrustedLocationRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        ForgetLocations();
#else
        registry_ = fs::temp_directory_path() /
                    ("dravikvt-registry-" +
                     std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        ::setenv("DRAVIKVT_REGISTRY", registry_.c_str(), 1);
#endif
        platform_ = std::make_unique<TestPlatform>(ProgramFolder());
    }
    void TearDown() override {
#ifdef _WIN32
        ForgetLocations();
#else
        std::error_code ignored;
        fs::remove_all(registry_, ignored);
#endif
    }

#ifdef _WIN32
    static void ForgetLocations() {
        for (const Text version : {L"14.0", L"16.0"})
            ::RegDeleteTreeW(HKEY_CURRENT_USER, Locations(version).c_str());
    }
#endif

    static Text ProgramFolder() {
#ifdef _WIN32
        return L"C:\\Dravik\\DravikVT";
#else
        return L"/srv/dravik/DravikVT";
#endif
    }
    static Text Parent() {
#ifdef _WIN32
        return L"C:\\Dravik\\";
#else
        return L"/srv/dravik\\";
#endif
    }

    Text Slot(int i, const Text &version = L"14.0") {
        return Locations(version) + L"\\Location" + std::to_wstring(i);
    }
    void Take(int i, const Text &folder) {
        RegKey key = 0;
        ASSERT_EQ(platform_->Registry().RegCreateKeyA(Slot(i), key), kRegSuccess);
        platform_->Registry().RegSetValueExA(key, L"Path", folder,
                                             static_cast<std::uint32_t>(folder.size() + 1));
        platform_->Registry().RegCloseKey(key);
    }
    // The Path of a slot as Access reads it, or "<none>".
    Text PathOf(int i, const Text &version = L"14.0") {
        RegKey key = 0;
        if (platform_->Registry().RegOpenKeyExA(Slot(i, version), 0x3F, key) != kRegSuccess)
            return L"<none>";
        Text buffer(255, L' ');
        std::uint32_t count = 255, type = 0;
        long status = platform_->Registry().RegQueryValueExA(key, L"Path", type, buffer, count);
        Text allow(4, L' ');
        std::uint32_t allowCount = 4, allowType = 0;
        platform_->Registry().RegQueryValueExA(key, L"AllowSubfolders", allowType, allow,
                                               allowCount);
        platform_->Registry().RegCloseKey(key);
        if (status != kRegSuccess || type != kRegSz || count < 1)
            return L"<bad>";
        EXPECT_EQ(allowType, kRegDword) << "slot " << i;
        EXPECT_EQ(allow, Text(L"\x01\0\0\0", 4)) << "slot " << i;
        return buffer.substr(0, count - 1);
    }
    bool Ensure() {
        return Global::EnsureTrustedLocation(*platform_);
    }

#ifndef _WIN32
    fs::path registry_;
#endif
    std::unique_ptr<TestPlatform> platform_;
};

TEST_F(TrustedLocationRegistryTest, TheFirstStartRegistersTheParentAndLaterStartsFindIt) {
    EXPECT_TRUE(Ensure());
    EXPECT_EQ(PathOf(0), Parent());
    EXPECT_EQ(PathOf(1), L"<none>");
    EXPECT_TRUE(Ensure());
    EXPECT_EQ(PathOf(1), L"<none>"); // found again, not written twice
}

TEST_F(TrustedLocationRegistryTest, AMatchAfterAGapWritesNothingAndAnotherCaseIsAnotherFolder) {
    Take(0, L"D:\\Other\\");
    Take(1, L"E:\\");
    Take(3, Parent());
    EXPECT_TRUE(Ensure());
    EXPECT_EQ(PathOf(2), L"<none>");

    TearDown();
    SetUp();
    Text otherCase = Parent();
    for (auto &c : otherCase)
        c = static_cast<wchar_t>(std::towupper(c));
    Take(0, otherCase);
    EXPECT_TRUE(Ensure());
    EXPECT_EQ(PathOf(1), Parent());
}

TEST_F(TrustedLocationRegistryTest, ALaterAccessHasLocationsOfItsOwnVersion) {
    EXPECT_TRUE(Global::EnsureTrustedLocation(*platform_, L"16.0"));
    EXPECT_EQ(PathOf(0, L"16.0"), Parent());
    EXPECT_EQ(PathOf(0), L"<none>"); // Access 2010's are another key
    EXPECT_TRUE(Global::EnsureTrustedLocation(*platform_, L"16.0"));
    EXPECT_EQ(PathOf(1, L"16.0"), L"<none>");
}

TEST_F(TrustedLocationRegistryTest, AllHundredSlotsTakenRegistersNothing) {
    test::TakeEveryTrustedLocationSlot([&](int slot, const Text &folder) { Take(slot, folder); });
    EXPECT_FALSE(Ensure());
    EXPECT_EQ(PathOf(100), L"<none>");
}

} // namespace
} // namespace dravik::test
