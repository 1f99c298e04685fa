#include <gtest/gtest.h>

#include "launcher/TrustedLocation.h"
#include "tests/unit/Scene.h"

namespace dravik::test {
namespace {

const Text kBase = L"Software\\Microsoft\\Office\\14.0\\Access\\Security\\Trusted Locations\\";
const Text kParentWithNul = Text(L"C:\\Apps\\") + L'\0';

struct TrustedLocationTest : ::testing::Test, Scene {
    Text Slot(int i) { return kBase + L"Location" + std::to_wstring(i); }
    void Take(int i, const Text &folder) {
        platform.PutRegistryString(Slot(i), L"Path", folder + L'\0');
    }
    bool Ensure() { return Global::EnsureTrustedLocation(platform); }
    void ExpectRegisteredAt(int i) {
        std::uint32_t type = 0;
        auto path = platform.RegistryValue(Slot(i), L"Path", &type);
        ASSERT_TRUE(path.has_value()) << "slot " << i;
        EXPECT_EQ(*path, std::string("C:\\Apps\\\0", 9));
        EXPECT_EQ(type, kRegSz);
        auto allow = platform.RegistryValue(Slot(i), L"AllowSubfolders", &type);
        ASSERT_TRUE(allow.has_value());
        EXPECT_EQ(*allow, std::string("\x01\0\0\0", 4));
        EXPECT_EQ(type, kRegDword);
    }
};

TEST_F(TrustedLocationTest, WithNoSlotsTheParentFolderIsWrittenToSlotZero) {
    EXPECT_TRUE(Ensure());
    ExpectRegisteredAt(0);
    ASSERT_EQ(platform.regWrites.size(), 2u);
    EXPECT_EQ(platform.regWrites[0].name, L"Path");
    EXPECT_EQ(platform.regWrites[1].name, L"AllowSubfolders");
    EXPECT_EQ(platform.OpenRegistryHandles(), 0);
    EXPECT_EQ(platform.mostRegistryHandlesOpen, 1) << "the created key is closed before the reopen";
}

TEST_F(TrustedLocationTest, AMatchingSlotEndsTheSearchAndNothingIsWritten) {
    Take(0, L"D:\\Other\\");
    Take(1, L"E:\\");
    Take(3, L"C:\\Apps\\");
    platform.PutRegistryDword(Slot(3), L"AllowSubfolders", 1);
    EXPECT_TRUE(Ensure());
    EXPECT_TRUE(platform.regWrites.empty());
    EXPECT_EQ(platform.registryProbes.size(), 4u);
    EXPECT_EQ(platform.OpenRegistryHandles(), 0);
}

// A first start stopped between its two writes leaves the folder named without its
// subfolders, and Access would warn on every start: the next start completes the
// slot, and writes nothing else.
TEST_F(TrustedLocationTest, TheFoldersSlotWithoutSubfoldersGetsThem) {
    for (int allow : {-1, 0}) { // none, or not 1
        Scene scene;
        scene.platform.PutRegistryString(Slot(1), L"Path", L"C:\\Apps\\" + Text(1, L'\0'));
        if (allow >= 0)
            scene.platform.PutRegistryDword(Slot(1), L"AllowSubfolders", allow);
        EXPECT_TRUE(Global::EnsureTrustedLocation(scene.platform));
        ASSERT_EQ(scene.platform.regWrites.size(), 1u) << allow;
        EXPECT_EQ(scene.platform.RegistryValue(Slot(1), L"AllowSubfolders"),
                  std::string("\x01\0\0\0", 4));
        EXPECT_FALSE(scene.platform.HasRegistryKey(Slot(0)));
        EXPECT_EQ(scene.platform.OpenRegistryHandles(), 0);
    }
}

TEST_F(TrustedLocationTest, TheFirstGapIsUsed) {
    Take(1, L"D:\\Other\\");
    Take(3, L"D:\\More\\");
    EXPECT_TRUE(Ensure());
    ExpectRegisteredAt(0);
    EXPECT_FALSE(platform.HasRegistryKey(Slot(2)));
}

TEST_F(TrustedLocationTest, AllHundredSlotsTakenGivesFalseAndTouchesNothingAbove99) {
    TakeEveryTrustedLocationSlot();
    EXPECT_FALSE(Ensure());
    EXPECT_TRUE(platform.regWrites.empty());
    EXPECT_EQ(platform.registryProbes.size(), 100u);
    for (const Text &probe : platform.registryProbes)
        EXPECT_NE(probe, Slot(100));
    EXPECT_FALSE(platform.HasRegistryKey(Slot(100)));
}

TEST_F(TrustedLocationTest, AnotherLetterCaseIsAnotherFolder) {
    Take(0, L"c:\\apps\\");
    EXPECT_TRUE(Ensure());
    ExpectRegisteredAt(1);
}

TEST_F(TrustedLocationTest, APathWithoutItsFinalSeparatorDoesNotMatch) {
    Take(0, L"C:\\Apps");
    EXPECT_TRUE(Ensure());
    ExpectRegisteredAt(1);
}

TEST_F(TrustedLocationTest, ASecondCallFindsTheFirstCallsSlot) {
    EXPECT_TRUE(Ensure());
    platform.regWrites.clear();
    EXPECT_TRUE(Ensure());
    EXPECT_TRUE(platform.regWrites.empty());
}

TEST_F(TrustedLocationTest, AValueLongerThanTheBufferDoesNotMatch) {
    Take(0, Text(300, L'x'));
    EXPECT_TRUE(Ensure());
    ExpectRegisteredAt(1);
}

// A slot with no Path, or an empty one (its NUL alone, or no byte at all), names no
// folder: the scan goes on, and the folder is registered after it.
TEST_F(TrustedLocationTest, ASlotWithoutAPathOrWithAnEmptyOneDoesNotMatch) {
    platform.PutRegistryKey(Slot(0));
    platform.PutRegistryString(Slot(1), L"Path", Text(1, L'\0'));
    platform.PutRegistryString(Slot(2), L"Path", L"");
    EXPECT_TRUE(Ensure());
    ExpectRegisteredAt(3);
    EXPECT_EQ(platform.OpenRegistryHandles(), 0);
}

TEST_F(TrustedLocationTest, ARefusedKeyWritesNothingAndStillLetsAccessStart) {
    platform.refuseKeyCreation = true;
    EXPECT_TRUE(Ensure());
    EXPECT_TRUE(platform.regWrites.empty());
    EXPECT_EQ(platform.OpenRegistryHandles(), 0);
}

// A program folder at the top of a drive or a share has no parent: trusting "\"
// and its subfolders would be wrong, so nothing is registered and Access starts.
TEST_F(TrustedLocationTest, AProgramFolderWithoutAParentRegistersNothing) {
    for (const Text folder : {L"C:\\", L"H:\\", L"\\\\srv\\share"}) {
        Scene scene;
        scene.platform.programFolder = folder;
        EXPECT_TRUE(Global::EnsureTrustedLocation(scene.platform));
        EXPECT_TRUE(scene.platform.regWrites.empty()) << folder;
        EXPECT_TRUE(scene.platform.registryProbes.empty()) << folder;
    }
}

TEST_F(TrustedLocationTest, AProgramFolderAtADrivesTopRegistersTheDriveOnce) {
    platform.programFolder = L"C:\\DravikVT";
    EXPECT_TRUE(Ensure());
    EXPECT_EQ(*platform.RegistryValue(Slot(0), L"Path"), std::string("C:\\\\\0", 5));
    // The drive keeps its own separator and the comparison drops one: found again.
    platform.regWrites.clear();
    EXPECT_TRUE(Ensure());
    EXPECT_TRUE(platform.regWrites.empty());
}

} // namespace
} // namespace dravik::test
