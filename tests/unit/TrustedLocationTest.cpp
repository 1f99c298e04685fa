#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "launcher/TrustPolicy.h"
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
    Global::TrustOutcome Decide(const Text &version = L"14.0") {
        Global::TrustOutcome outcome;
        Global::EnsureTrustedLocation(platform, version, &outcome);
        return outcome;
    }
    // The slots probed; the policies are read besides them.
    std::size_t SlotProbes() const {
        return std::count_if(
            platform.registryProbes.begin(), platform.registryProbes.end(),
            [](const Text &key) { return key.rfind(kBase + L"Location", 0) == 0; });
    }
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
    EXPECT_EQ(SlotProbes(), 4u);
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
    EXPECT_EQ(SlotProbes(), 100u);
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

// A program folder at the top of a drive or a share, or in the user's Downloads, is too
// broad to trust with its subfolders: nothing is registered and Access starts.
TEST_F(TrustedLocationTest, AProgramFolderWithoutAParentRegistersNothing) {
    for (const Text folder : {L"C:\\", L"H:\\", L"\\\\srv\\share", L"C:\\Users\\ana\\Downloads"}) {
        Scene scene;
        scene.platform.programFolder = folder;
        scene.platform.knownFolders[KnownFolder::Downloads] = L"c:\\users\\ana\\downloads";
        Global::TrustOutcome outcome;
        EXPECT_TRUE(Global::EnsureTrustedLocation(scene.platform, L"14.0", &outcome));
        EXPECT_EQ(outcome.state, Global::TrustState::BroadProgramFolder) << folder;
        EXPECT_TRUE(scene.platform.regWrites.empty()) << folder;
        EXPECT_EQ(scene.platform.registryProbes.size(), scene.platform.policyMasks.size() + 2)
            << "the user's own two settings, no slot";
    }
}

// The parent is trusted unless it is broad; then the program folder itself is, once.
// A slot an earlier start wrote for a broad parent is named and left alone.
TEST_F(TrustedLocationTest, ABroadParentGivesWayToTheProgramFolderInSearchAndWrite) {
    platform.knownFolders = {{KnownFolder::Profile, L"C:\\Users\\ana"},
                             {KnownFolder::LocalAppData, L"C:\\Users\\ana\\AppData\\Local"}};
    const std::pair<Text, Text> placed[] = {
        {L"C:\\DravikVT", L"C:\\DravikVT\\"},
        {L"C:\\Users\\ana\\DravikVT", L"C:\\Users\\ana\\DravikVT\\"},
        {L"C:\\Users\\ana\\AppData\\Local\\Dravik\\DravikVT",
         L"C:\\Users\\ana\\AppData\\Local\\Dravik\\"},
    };
    for (const auto &[program, trusted] : placed) {
        platform.programFolder = program;
        platform.regWrites.clear();
        EXPECT_TRUE(Ensure());
        ASSERT_EQ(platform.regWrites.size(), 2u) << program;
        EXPECT_EQ(platform.regWrites[0].bytes, test::Utf8(trusted) + '\0');
        EXPECT_EQ(Decide().state, Global::TrustState::Found) << "found again, not added";
    }

    Scene earlier; // a slot for the drive's top, from before
    earlier.platform.programFolder = L"C:\\DravikVT";
    earlier.platform.PutRegistryString(Slot(0), L"Path", L"C:\\\\" + Text(1, L'\0'));
    Global::TrustOutcome outcome;
    EXPECT_TRUE(Global::EnsureTrustedLocation(earlier.platform, L"14.0", &outcome));
    EXPECT_EQ(outcome.slot, L"Location1");
    EXPECT_EQ(outcome.notes,
              std::vector<Text>{
                  L"Location0 names the broad folder C:\\\\: remove it unless it is wanted"});
    EXPECT_EQ(earlier.platform.regWrites.size(), 2u) << "the broad slot is not completed";

    // No free slot but the broad parent's: Access finds the front end through it.
    earlier.TakeEveryTrustedLocationSlot();
    earlier.platform.PutRegistryString(Slot(7), L"Path", L"C:\\\\" + Text(1, L'\0'));
    EXPECT_TRUE(Global::EnsureTrustedLocation(earlier.platform, L"14.0", &outcome));
    EXPECT_EQ(outcome.state, Global::TrustState::BroadSlotKept);
    EXPECT_EQ(outcome.slot, L"Location7");
}

// ---- What Office's policies and the user's own settings allow ------------------------------

using Global::TrustState;
const Text kCloud = L"Policies\\Microsoft\\Cloud\\Office";

struct TrustDecisionTest : TrustedLocationTest, ::testing::WithParamInterface<const wchar_t *> {
    const Text v = GetParam();
    Text Policy(const Text &under) { return L"HKCU\\" + OfficeKey(v, under); }
};

// Each state, for Access 2010 and for a later version alike; Access is never refused.
TEST_P(TrustDecisionTest, EachStateWritesOnlyWhenNothingElseDecides) {
    const Text access = L"Access\\Security\\Trusted Locations",
               common = L"Common\\Security\\Trusted Locations";
    const Text own = L"Software\\Microsoft\\Office\\" + v + L"\\" + access;
    struct Case {
        std::function<void(Scene &)> set;
        TrustState state;
        Text cause;
    } cases[] = {
        {[](auto &) {}, TrustState::Registered, L""},
        {[&](auto &t) { t.PutOfficeDword(v, access, L"AllLocationsDisabled", 1); },
         TrustState::AllDisabled, Policy(access) + L"\\AllLocationsDisabled = 1"},
        {[&](auto &t) { t.platform.PutRegistryDword(own, L"AllLocationsDisabled", 1); },
         TrustState::AllDisabled, L"HKCU\\" + own + L"\\AllLocationsDisabled = 1"},
        {[&](auto &t) { t.PutOfficeDword(v, common, L"Allow User Locations", 0); },
         TrustState::UserLocationsOff, Policy(common) + L"\\Allow User Locations = 0"},
        {[&](auto &t) { // the cloud's policies count for 16.0 only, and both roots are named
             t.PutOfficeDword(v, common, L"Allow User Locations", 0, kCloud);
             t.PutOfficeDword(v, common, L"Allow User Locations", 0);
         },
         TrustState::UserLocationsOff,
         Policy(common) + L"\\Allow User Locations = 0" +
             (v == L"16.0"
                  ? L" and HKCU\\" + OfficeKey(v, common, kCloud) + L"\\Allow User Locations = 0"
                  : L"")},
        {[&](auto &t) {
             t.PutOfficeDword(v, common, L"Allow User Locations", 0);
             t.PutPolicyLocation(v, L"c:\\apps");
         },
         TrustState::CoveredByPolicy, Policy(access) + L"\\Loc1\\Path = c:\\apps"},
        {[&](auto &t) {
             t.platform.environment[L"SystemDrive"] = L"C:";
             t.PutPolicyLocation(v, L"%SystemDrive%\\", true, kRegExpandSz,
                                 common + L"\\Location2");
         },
         TrustState::CoveredByPolicy, Policy(common) + L"\\Location2\\Path = C:\\"},
        {[&](auto &t) { // one elsewhere, one without subfolders, one network path
             t.PutPolicyLocation(v, L"D:\\Apps\\");
             t.PutPolicyLocation(v, L"C:\\", false, kRegSz, access + L"\\Loc2");
             t.PutPolicyLocation(v, L"\\\\srv\\c$\\Apps", true, kRegSz, access + L"\\Loc3");
         },
         TrustState::Registered, L""},
    };
    for (Case &c : cases) {
        Scene scene;
        c.set(scene);
        Global::TrustOutcome outcome;
        EXPECT_TRUE(Global::EnsureTrustedLocation(scene.platform, v, &outcome));
        EXPECT_EQ(outcome.state, c.state) << test::Utf8(c.cause);
        EXPECT_EQ(outcome.cause, c.cause);
        EXPECT_EQ(scene.platform.regWrites.size(), c.state == TrustState::Registered ? 2u : 0u);
        for (std::uint32_t mask : scene.platform.policyMasks)
            EXPECT_EQ(mask, kRegKeyRead);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, TrustDecisionTest, ::testing::Values(L"14.0", L"16.0"),
                         [](const auto &p) { return p.param[1] == L'4' ? "Access2010" : "Later"; });

// A standard user may only read the Policies keys; a key that cannot be read at all, or a
// value of another type, is named in the log, and the slot is written as it costs nothing.
TEST_F(TrustedLocationTest, PoliciesAreOnlyReadAndOneThatCannotBeIsNamed) {
    const Text key = OfficeKey(L"14.0", L"Common\\Security\\Trusted Locations");
    PutOfficeDword(L"14.0", L"Common\\Security\\Trusted Locations", L"Allow User Locations", 0);
    EXPECT_EQ(Decide().state, TrustState::UserLocationsOff);
    RegKey handle = 0;
    EXPECT_EQ(platform.RegOpenKeyExA(key, 0x3F, handle), kRegAccessDenied);
    EXPECT_EQ(platform.RegCreateKeyA(key + L"\\Location0", handle), kRegAccessDenied);

    platform.PutRegistryString(key, L"Allow User Locations", Text(L"0") + L'\0');
    EXPECT_EQ(
        Decide().notes,
        std::vector<Text>{L"HKCU\\" + key + L"\\Allow User Locations has type 1: taken as absent"});
    platform.unreadableKeys.insert(platform.ToUpper(key));
    const Global::TrustOutcome outcome = Decide();
    EXPECT_EQ(outcome.state, TrustState::Found) << "written all the same";
    EXPECT_EQ(outcome.notes,
              std::vector<Text>{L"policy not readable: HKCU\\" + key + L" (status 5)"});
}

// A program folder on a share: a policy location there counts only with network
// locations allowed.
TEST_F(TrustedLocationTest, ANetworkLocationCoversOnlyWhileNetworkLocationsAreAllowed) {
    platform.programFolder = L"\\\\srv\\apps\\DravikVT";
    PutPolicyLocation(L"14.0", L"\\\\srv\\apps\\");
    EXPECT_EQ(Decide().state, TrustState::Registered);
    PutOfficeDword(L"14.0", L"Access\\Security\\Trusted Locations", L"AllowNetworkLocations", 1);
    EXPECT_EQ(Decide().state, TrustState::CoveredByPolicy);
}

// Whole components, letter case ignored, one trailing separator ignored, long names.
TEST_F(TrustedLocationTest, CoversComparesWholeComponentsIgnoringCaseAndOneSeparator) {
    platform.longPaths[L"C:\\PROGRA~1\\Dravik"] = L"C:\\Program Files\\Dravik";
    auto covers = [&](const Text &location, bool subfolders, const Text &folder) {
        return Global::LocationCovers(platform, location, subfolders, folder);
    };
    EXPECT_FALSE(covers(L"C:\\Dravik", true, L"C:\\DravikVT"));
    EXPECT_TRUE(covers(L"c:\\dravik\\", false, L"C:\\Dravik"));
    EXPECT_TRUE(covers(L"C:\\Dravik\\", true, L"C:\\Dravik\\VT"));
    EXPECT_FALSE(covers(L"C:\\Dravik\\", false, L"C:\\Dravik\\VT"));
    EXPECT_FALSE(covers(L"C:\\Dravik\\\\", false, L"C:\\Dravik")) << "only one separator goes";
    EXPECT_TRUE(covers(L"C:\\", true, L"C:\\Dravik"));
    EXPECT_TRUE(covers(L"C:\\\\", false, L"C:\\")) << "a drive's top keeps its own";
    EXPECT_TRUE(covers(L"C:\\PROGRA~1\\Dravik", false, L"C:\\Program Files\\Dravik\\"));
    EXPECT_FALSE(covers(L"%SystemDrive%\\Dravik", true, L"C:\\Dravik"));
}

} // namespace
} // namespace dravik::test
