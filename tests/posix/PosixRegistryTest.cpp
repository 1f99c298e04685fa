// The registry kept as a folder tree: persistence, letter case and buffer rules.
#include <filesystem>
#include <gtest/gtest.h>

#include "platform/SystemPlatform.h"
#include "platform/common/CaseMapping.h"
#include "tests/support/Bytes.h"
#include "tests/support/Environment.h"
#include "tests/support/ScratchFolder.h"

namespace dravik {
namespace {

namespace fs = std::filesystem;
using test::EnvironmentOverride;
using test::ScratchFolder;

const Text kLocation =
    L"Software\\Microsoft\\Office\\14.0\\Access\\Security\\Trusted Locations\\Location7";

class PosixRegistryFolder : public ::testing::Test {
protected:
    PosixRegistryFolder()
        : codePage_("DRAVIKVT_CODEPAGE", std::nullopt),
          hive_("DRAVIKVT_REGISTRY", scratch_.Native("hive")) {}

    ScratchFolder scratch_;
    EnvironmentOverride codePage_;
    EnvironmentOverride hive_;
    std::unique_ptr<PlatformServices> platform_ = MakeSystemPlatform();
    RegistryServices &registry_ = platform_->Registry();
};

TEST_F(PosixRegistryFolder, ValuesSurviveIntoAnotherPlatformAndKeyNamesIgnoreCase) {
    const Text path = L"C:\\Program Files\\\u0160ifra\\";
    RegKey key = 0;
    ASSERT_EQ(registry_.RegCreateKeyA(kLocation, key), kRegSuccess);
    ASSERT_NE(key, 0u);
    ASSERT_EQ(
        registry_.RegSetValueExA(key, L"Path", path, static_cast<std::uint32_t>(path.size() + 1)),
        kRegSuccess);
    ASSERT_EQ(registry_.RegSetValueExA(key, L"AllowSubfolders", 1u), kRegSuccess);
    ASSERT_EQ(registry_.RegCloseKey(key), kRegSuccess);

    std::unique_ptr<PlatformServices> later = MakeSystemPlatform();
    RegKey reopened = 0;
    ASSERT_EQ(later->Registry().RegOpenKeyExA(UpperText(kLocation), 0x3F, reopened), kRegSuccess);
    std::uint32_t type = kRegSz;
    Text buffer(255, L' ');
    std::uint32_t count = 255;
    ASSERT_EQ(later->Registry().RegQueryValueExA(reopened, L"PATH", type, buffer, count),
              kRegSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(count, path.size() + 1);
    EXPECT_EQ(buffer.size(), 255u);
    EXPECT_EQ(buffer.substr(0, count), path + L'\0');
    EXPECT_EQ(buffer[count], L' ');

    Text number(255, L' ');
    count = 255;
    ASSERT_EQ(later->Registry().RegQueryValueExA(reopened, L"allowsubfolders", type, number, count),
              kRegSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(number.substr(0, 4), Text(L"\x01\x00\x00\x00", 4));
    EXPECT_EQ(later->Registry().RegCloseKey(reopened), kRegSuccess);
}

TEST_F(PosixRegistryFolder, ValueLargerThanTheBufferAnswersMoreDataAndItsSize) {
    RegKey key = 0;
    ASSERT_EQ(registry_.RegCreateKeyA(L"Software\\DravikTest", key), kRegSuccess);
    ASSERT_EQ(registry_.RegSetValueExA(key, L"Long", L"0123456789", 11), kRegSuccess);

    std::uint32_t type = kRegSz;
    Text buffer(4, L' ');
    std::uint32_t count = 4;
    EXPECT_EQ(registry_.RegQueryValueExA(key, L"Long", type, buffer, count), kRegMoreData);
    EXPECT_EQ(count, 11u);
    EXPECT_EQ(buffer, L"    ");

    // A caller claiming more room than its buffer has is not written past it.
    count = 200;
    EXPECT_EQ(registry_.RegQueryValueExA(key, L"Long", type, buffer, count), kRegMoreData);
    EXPECT_EQ(buffer, L"    ");
    registry_.RegCloseKey(key);
}

TEST_F(PosixRegistryFolder, ByteCountDecidesHowMuchOfTheTextIsStored) {
    RegKey key = 0;
    ASSERT_EQ(registry_.RegCreateKeyA(L"Software\\DravikTest", key), kRegSuccess);
    ASSERT_EQ(registry_.RegSetValueExA(key, L"Short", L"abcdef", 3), kRegSuccess);

    std::uint32_t type = 0;
    Text buffer(10, L' ');
    std::uint32_t count = 10;
    ASSERT_EQ(registry_.RegQueryValueExA(key, L"Short", type, buffer, count), kRegSuccess);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(buffer, L"abc       ");
    registry_.RegCloseKey(key);
}

TEST_F(PosixRegistryFolder, MissingKeysValuesAndHandlesAnswerTheirStatus) {
    RegKey key = 99;
    EXPECT_EQ(registry_.RegOpenKeyExA(L"Software\\Nema", 0x3F, key), kRegFileNotFound);
    EXPECT_EQ(key, 0u);

    ASSERT_EQ(registry_.RegCreateKeyA(L"Software\\Ima", key), kRegSuccess);
    std::uint32_t type = kRegSz;
    Text buffer(255, L' ');
    std::uint32_t count = 255;
    EXPECT_EQ(registry_.RegQueryValueExA(key, L"Path", type, buffer, count), kRegFileNotFound);
    EXPECT_EQ(count, 255u);

    EXPECT_EQ(registry_.RegCloseKey(key), kRegSuccess);
    EXPECT_EQ(registry_.RegCloseKey(key), kRegInvalidHandle);
    EXPECT_EQ(registry_.RegQueryValueExA(key, L"Path", type, buffer, count), kRegInvalidHandle);
    EXPECT_EQ(registry_.RegSetValueExA(key, L"Path", 1u), kRegInvalidHandle);
    EXPECT_EQ(registry_.RegCloseKey(0), kRegInvalidHandle);
}

TEST_F(PosixRegistryFolder, CreatingAnExistingKeyInAnotherCaseOpensIt) {
    RegKey first = 0;
    RegKey second = 0;
    ASSERT_EQ(registry_.RegCreateKeyA(L"Software\\Dravik", first), kRegSuccess);
    ASSERT_EQ(registry_.RegSetValueExA(first, L"Broj", 7u), kRegSuccess);
    ASSERT_EQ(registry_.RegCreateKeyA(L"SOFTWARE\\dravik", second), kRegSuccess);

    std::uint32_t type = 0;
    Text buffer(4, L' ');
    std::uint32_t count = 4;
    EXPECT_EQ(registry_.RegQueryValueExA(second, L"broj", type, buffer, count), kRegSuccess);
    EXPECT_EQ(buffer[0], L'\x07');
    EXPECT_EQ(
        std::distance(fs::directory_iterator(scratch_.Path() / "hive"), fs::directory_iterator()),
        1); // one "Software", not two
    registry_.RegCloseKey(first);
    registry_.RegCloseKey(second);
}

TEST_F(PosixRegistryFolder, WithoutItsOwnVariableTheHiveLiesInTheUsersConfigFolder) {
    EnvironmentOverride noHive("DRAVIKVT_REGISTRY", std::nullopt);
    EnvironmentOverride config("XDG_CONFIG_HOME", scratch_.Native("config"));
    RegKey key = 0;
    ASSERT_EQ(registry_.RegCreateKeyA(L"Software\\Dravik", key), kRegSuccess);
    registry_.RegCloseKey(key);
    EXPECT_TRUE(fs::is_directory(scratch_.Path() / "config" / "DravikVT" / "registry"));

    EnvironmentOverride noConfig("XDG_CONFIG_HOME", std::nullopt);
    EnvironmentOverride home("HOME", scratch_.Native("home"));
    ASSERT_EQ(registry_.RegCreateKeyA(L"Software\\Dravik", key), kRegSuccess);
    registry_.RegCloseKey(key);
    EXPECT_TRUE(fs::is_directory(scratch_.Path() / "home" / ".config" / "DravikVT" / "registry"));
}

} // namespace
} // namespace dravik
