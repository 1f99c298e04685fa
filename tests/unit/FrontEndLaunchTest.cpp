#include <gtest/gtest.h>

#include <algorithm>

#include "tests/unit/Scene.h"

namespace dravik::test {
namespace {

const Text kSlot0 =
    L"Software\\Microsoft\\Office\\14.0\\Access\\Security\\Trusted Locations\\Location0";

struct FrontEndLaunchTest : ::testing::Test, Scene {
    void Launch(const Text &config) {
        Config(config);
        Load();
        form.Create();
        form.PokreniFE();
    }
};

TEST_F(FrontEndLaunchTest, StartsAccessMinimisedWithTheQuotedFrontEnd) {
    Launch(L"NewFE = uxVTade.ade\r\nDefAccessPath = C:\\Office14\\MSACCESS.EXE\r\n");
    ASSERT_EQ(platform.starts.size(), 1u);
    const auto &start = platform.starts[0];
    EXPECT_EQ(start.file, L"C:\\Office14\\\\MSACCESS.EXE");
    EXPECT_EQ(start.parameters, L"\"C:\\Apps\\DravikVT\\uxVTade.ade\" /user Admin /pwd ");
    EXPECT_EQ(start.workingFolder, L"c:\\");
    EXPECT_EQ(start.showMode, 2);
    EXPECT_EQ(start.owner, FakePlatform::kWindowHandle);
    // The folder is made trusted before Access is asked to start.
    auto at = [&](const Text &call) {
        return std::find(platform.calls.begin(), platform.calls.end(), call) -
               platform.calls.begin();
    };
    EXPECT_LT(at(L"RegSetValueExA:Path"), at(L"StartProgram:C:\\Office14\\\\MSACCESS.EXE"));
    EXPECT_LT(at(L"StartProgram:C:\\Office14\\\\MSACCESS.EXE"),
              static_cast<std::ptrdiff_t>(platform.calls.size()));
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(FrontEndLaunchTest, RuntimeAndCmdFollowThePasswordInThatOrderUnquoted) {
    Launch(L"NewFE = a.ade\r\nRuntime = True\r\nSQLBaza = SRV01 baza test\r\n");
    ASSERT_EQ(platform.starts.size(), 1u);
    EXPECT_EQ(platform.starts[0].parameters,
              L"\"C:\\Apps\\DravikVT\\a.ade\" /user Admin /pwd /Runtime /Cmd SRV01 baza test");
    EXPECT_EQ(platform.starts[0].file, L"\\MSACCESS.EXE"); // no folder configured
}

TEST_F(FrontEndLaunchTest, CmdWithoutRuntime) {
    Launch(L"NewFE = a.ade\r\nSQLBaza = X\r\n");
    EXPECT_EQ(platform.starts.at(0).parameters,
              L"\"C:\\Apps\\DravikVT\\a.ade\" /user Admin /pwd /Cmd X");
}

TEST_F(FrontEndLaunchTest, AllSlotsTakenShowsTheMessageAndStartsNothing) {
    TakeEveryTrustedLocationSlot();
    Launch(L"NewFE = a.ade\r\n");
    EXPECT_TRUE(platform.starts.empty());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text,
              L"Ne mogu dodijeliti prava na folderC:\\Apps\\DravikVT\r\nTesmar se neće pokrenuti!");
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::None);
    EXPECT_FALSE(platform.messages[0].title.has_value());
}

TEST_F(FrontEndLaunchTest, AFailedRegistrationStillStartsAccess) {
    platform.PutRegistryString(kSlot0, L"Path", Text(1, L'\0'));
    Launch(L"NewFE = a.ade\r\n");
    EXPECT_EQ(platform.starts.size(), 1u);
    platform.FailCall(FakeCall::ParentFolderOf, 1, L"no scripting runtime");
    form.PokreniFE();
    EXPECT_EQ(platform.starts.size(), 2u);
}

Text SlotOf(const Text &version, int i) {
    return L"Software\\Microsoft\\Office\\" + version +
           L"\\Access\\Security\\Trusted Locations\\Location" + std::to_wstring(i);
}

// Access 2013 reads 15.0 and Access 2016 and later 16.0: the folder is registered
// there too, taken from AccessVersion or else from the Access folder, always
// beside the 14.0 registration of Access 2010.
TEST_F(FrontEndLaunchTest, ALaterAccessHasTheFolderRegisteredForItsOwnVersionToo) {
    const std::pair<Text, Text> cases[] = {
        {L"DefAccessPath = C:\\Program Files\\Microsoft Office\\root\\Office16\\MSACCESS.EXE\r\n",
         L"16.0"},
        {L"DefAccessPath = C:\\Program Files\\Microsoft Office\\OFFICE15\r\n", L"15.0"},
        {L"DefAccessPath = C:\\Office16\r\nAccessVersion = 15.0\r\n", L"15.0"}, // the key wins
        {L"AccessVersion = 16.0\r\n", L"16.0"},
        {L"DefAccessPath = C:\\Office14\r\n", L""},
        {L"", L""},
    };
    for (const auto &[settings, version] : cases) {
        Scene scene;
        scene.Config(settings + L"NewFE = a.ade\r\n");
        scene.Load();
        scene.form.Create();
        scene.form.PokreniFE();
        EXPECT_EQ(scene.platform.RegistryValue(SlotOf(L"14.0", 0), L"Path"),
                  std::string("C:\\Apps\\\0", 9))
            << settings;
        for (const Text later : {L"15.0", L"16.0"}) {
            auto path = scene.platform.RegistryValue(SlotOf(later, 0), L"Path");
            EXPECT_EQ(path.has_value(), later == version) << settings << " " << later;
            if (later == version) {
                EXPECT_EQ(scene.platform.RegistryValue(SlotOf(later, 0), L"AllowSubfolders"),
                          std::string("\x01\0\0\0", 4));
            }
        }
        // Path and AllowSubfolders for 14.0, and for no other version but the later one.
        EXPECT_EQ(scene.platform.regWrites.size(), version.empty() ? 2u : 4u) << settings;
        EXPECT_EQ(scene.platform.starts.size(), 1u);
    }
}

TEST_F(FrontEndLaunchTest, TheLaterRegistrationNeverKeepsAccessFromStarting) {
    TakeEveryTrustedLocationSlot(L"16.0");
    Launch(L"NewFE = a.ade\r\nAccessVersion = 16.0\r\n");
    EXPECT_EQ(platform.starts.size(), 1u);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(platform.RegistryValue(SlotOf(L"14.0", 0), L"Path").has_value());
    // Nor does one that fails outright.
    platform.FailCall(FakeCall::ParentFolderOf, 2, L"no scripting runtime");
    form.PokreniFE();
    EXPECT_EQ(platform.starts.size(), 2u);
}

// Access 2016 trusted by an administrator's location needs no slot of Access 2010:
// it starts though those are all taken, and nothing is written for either.
TEST_F(FrontEndLaunchTest, ALaterAccessCoveredByPolicyStartsThoughThe2010SlotsAreTaken) {
    TakeEveryTrustedLocationSlot();
    PutPolicyLocation(L"16.0", L"C:\\Apps\\");
    Launch(L"NewFE = a.ade\r\nAccessVersion = 16.0\r\n");
    EXPECT_EQ(platform.starts.size(), 1u);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(platform.regWrites.empty());
    // Access 2013 is not covered by it: the missing 2010 slot still refuses it.
    Launch(L"NewFE = a.ade\r\nAccessVersion = 15.0\r\n");
    EXPECT_EQ(platform.starts.size(), 1u);
    EXPECT_EQ(platform.messages.size(), 1u);
}

// A start the shell refuses (a wrong Access folder) must be told, not swallowed;
// a message that cannot be shown is no reason to fail.
TEST_F(FrontEndLaunchTest, AFailingStartReachesTheCallerAndAFailingMessageIsAbsorbed) {
    Config(L"NewFE = a.ade\r\n");
    Load();
    form.Create();
    platform.FailCall(FakeCall::StartProgram, 1, L"shell refused");
    EXPECT_THROW(form.PokreniFE(), Failure);
    form.PokreniFE(); // called twice, Access is started again
    EXPECT_EQ(platform.starts.size(), 1u);

    TakeEveryTrustedLocationSlot();
    platform.FailCall(FakeCall::ShowMessage, 1, L"no desktop");
    EXPECT_NO_THROW(form.PokreniFE());
    EXPECT_EQ(platform.starts.size(), 1u);
}

} // namespace
} // namespace dravik::test
