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
    for (int i = 0; i < 100; ++i)
        platform.PutRegistryString(kSlot0.substr(0, kSlot0.size() - 1) + std::to_wstring(i),
                                   L"Path", L"D:\\x" + std::to_wstring(i) + L"\\" + L'\0');
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

    for (int i = 0; i < 100; ++i)
        platform.PutRegistryString(kSlot0.substr(0, kSlot0.size() - 1) + std::to_wstring(i),
                                   L"Path", L"D:\\x" + std::to_wstring(i) + L"\\" + L'\0');
    platform.FailCall(FakeCall::ShowMessage, 1, L"no desktop");
    EXPECT_NO_THROW(form.PokreniFE());
    EXPECT_EQ(platform.starts.size(), 1u);
}

} // namespace
} // namespace dravik::test
