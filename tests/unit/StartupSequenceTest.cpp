#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "launcher/Launcher.h"
#include "launcher/SafeCopy.h"
#include "launcher/UpdateLock.h"
#include "tests/unit/Scene.h"

namespace dravik::test {
namespace {

const Text kStartupFailure = L"Dravik: Ne mogu pokrenuti program!\r\rError:";

struct StartupSequenceTest : ::testing::Test, Scene {
    StartupSequenceTest() {
        StandardConfig();
        ServerFiles();
    }
    int Run() { return RunLauncher(platform); }
    bool Updated() { return Local(L"uxVTade.ade") == "FE v2"; }
};

TEST_F(StartupSequenceTest, ARecordedWorkstationWithEveryFileStartsAccessUnseen) {
    LocalFiles();
    Recorded();
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(Updated());
    EXPECT_TRUE(platform.copies.empty());
    EXPECT_EQ(platform.starts.size(), 1u);
    EXPECT_FALSE(platform.windowEverShown);
    EXPECT_TRUE(platform.windowClosed);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(platform.prompts.empty());
}

TEST_F(StartupSequenceTest, ANewWorkstationUpdatesRecordsAndStarts) {
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(Updated());
    EXPECT_EQ(RecordBytes(), "PC07_ana\t\t8.12.2026. - 9:15:00\r\n");
    EXPECT_EQ(platform.starts.size(), 1u);
    EXPECT_TRUE(platform.windowEverShown);
    EXPECT_TRUE(platform.windowClosed);
    EXPECT_TRUE(platform.messages.empty());
}

// Copies an interrupted update left behind, read-only ones too, of the names of
// this version and of the earlier one: gone after the next update, and no obstacle.
TEST_F(StartupSequenceTest, LeftoversOfAnInterruptedUpdateAreRemovedAndBlockNothing) {
    const Text frontEnd = kProgramFolder + L"\\uxVTade.ade";
    for (const Text &leftover : {frontEnd + L".dravik-tmp", TemporaryCopyPath(frontEnd, 1),
                                 TemporaryCopyPath(frontEnd, 2)})
        platform.PutFile(leftover, "half", {true, false, false});
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(Updated());
    EXPECT_TRUE(NoTemporaryCopies());
    EXPECT_EQ(platform.starts.size(), 1u);
}

// A double click: the second launcher waits while the first updates, then finds
// the copy current and only starts Access. Should the first never let go, the
// second updates by itself after about a minute, and still starts Access.
TEST_F(StartupSequenceTest, ASecondLauncherWaitsForTheFirstOneUpdatingTheFolder) {
    const Text lock = kProgramFolder + L"\\" + kUpdateLockName;
    platform.HoldLockElsewhere(lock, 8, [this] {
        LocalFiles();
        Recorded();
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(platform.copies.empty());
    EXPECT_EQ(platform.sleptMilliseconds, 8 * 250);
    EXPECT_EQ(platform.starts.size(), 1u);
    EXPECT_TRUE(platform.messages.empty());
    // Seen at work all the while, so that no one starts it again.
    EXPECT_TRUE(platform.windowEverShown);
    EXPECT_EQ(platform.labelWhenAnswering,
              std::vector<Text>(8, L"Kopiranje nove verzije programa..."));
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), L"WindowShown"), 1);

    // The holder may still be writing its copies: one that gave up waiting removes none.
    Scene stuck;
    stuck.StandardConfig();
    stuck.ServerFiles();
    const Text othersCopy = TemporaryCopyPath(kProgramFolder + L"\\uxVTade.ade", 1);
    stuck.platform.PutFile(othersCopy, "being written");
    stuck.platform.HoldLockElsewhere(lock, -1);
    EXPECT_EQ(RunLauncher(stuck.platform), 0);
    EXPECT_EQ(stuck.Local(L"uxVTade.ade"), "FE v2");
    EXPECT_EQ(stuck.platform.FileBytes(othersCopy), "being written");
    EXPECT_EQ(stuck.platform.sleptMilliseconds, 300000);
    EXPECT_EQ(stuck.platform.starts.size(), 1u);
}

TEST_F(StartupSequenceTest, EachMissingLocalFileForcesAnUpdateForARecordedUser) {
    for (Text missing : {L"uxVTade.ade", L"RuxVT1.ade", L"RuxVT2.accde", L"Velkor_2007.exe"}) {
        Scene scene;
        scene.StandardConfig();
        scene.ServerFiles();
        scene.LocalFiles();
        scene.Recorded();
        scene.platform.DeleteFileIfPresent(kProgramFolder + L"\\" + missing);
        RunLauncher(scene.platform);
        EXPECT_EQ(scene.Local(L"uxVTade.ade"), "FE v2") << "missing " << missing;
        EXPECT_EQ(scene.platform.starts.size(), 1u);
    }
}

TEST_F(StartupSequenceTest, ReportFilesPlayNoPartForAnotherFrontEndButTheCompanionDoes) {
    Scene scene;
    scene.StandardConfig(L"other.accde");
    scene.ServerFiles(L"other.accde");
    scene.platform.PutFile(kProgramFolder + L"\\other.accde", "FE v1");
    scene.platform.PutFile(kProgramFolder + L"\\Velkor_2007.exe", "c");
    scene.Recorded();
    RunLauncher(scene.platform);
    EXPECT_TRUE(scene.platform.copies.empty());
    EXPECT_EQ(scene.platform.starts.size(), 1u);

    scene.platform.DeleteFileIfPresent(kProgramFolder + L"\\Velkor_2007.exe");
    RunLauncher(scene.platform);
    EXPECT_EQ(scene.Local(L"other.accde"), "FE v2");
    EXPECT_EQ(scene.Local(L"Velkor_2007.exe"), "companion v2");
}

TEST_F(StartupSequenceTest, AMissingServerFolderReportsTheFailureAndStartsNothing) {
    StandardConfig();
    Config(L"NewFiles = \\\\gone\\dist\r\nNewFE = uxVTade.ade\r\n");
    EXPECT_EQ(Run(), kExitStartupFailed);
    EXPECT_TRUE(platform.starts.empty());
    ASSERT_EQ(platform.messages.size(), 1u);
    // The failure names the copy the user knows, never the temporary file.
    EXPECT_EQ(platform.messages[0].text, kStartupFailure +
                                             L"The system cannot find the path specified. "
                                             L"(\"\\\\gone\\dist\\uxVTade.ade\" → \"" +
                                             kProgramFolder + L"\\uxVTade.ade\")");
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::Information);
    EXPECT_FALSE(platform.messages[0].title.has_value());
    EXPECT_TRUE(platform.windowClosed);
    EXPECT_FALSE(platform.HasFile(L"\\\\gone\\dist\\Kolacici.txt"));
}

TEST_F(StartupSequenceTest, AnUnreadableRecordFileIsTrapped) {
    LocalFiles();
    Recorded();
    platform.LockFile(kRecordFile);
    Run();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text.rfind(kStartupFailure, 0), 0u);
    EXPECT_TRUE(platform.starts.empty());
}

// Access that cannot be started (a wrong DefAccessPath) is a start-up failure
// naming the program, not a launcher that closes in silence.
TEST_F(StartupSequenceTest, AccessThatCannotBeStartedIsReported) {
    LocalFiles();
    Recorded();
    platform.FailCall(FakeCall::StartProgram, 1, L"The system cannot find the file specified.");
    EXPECT_EQ(Run(), kExitStartupFailed);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, kStartupFailure +
                                             L"The system cannot find the file specified. "
                                             L"(\"C:\\Office14\\\\MSACCESS.EXE\")");
}

TEST_F(StartupSequenceTest, AMissingConfigurationEndsWithAReportBeforeAnythingElse) {
    platform.DeleteFileIfPresent(kProgramFolder + L"\\DravikVT.txt");
    EXPECT_EQ(Run(), kExitSettingsFailed);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].text.find(L"The system cannot find the file specified."),
              Text::npos);
    EXPECT_TRUE(platform.starts.empty());
    EXPECT_TRUE(platform.searches.empty());
}

TEST_F(StartupSequenceTest, AllSlotsTakenShowsOnlyTheSlotMessage) {
    LocalFiles();
    Recorded();
    TakeEveryTrustedLocationSlot();
    EXPECT_EQ(Run(), kExitNoTrustedSlot);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text.rfind(L"Ne mogu dodijeliti prava na folder", 0), 0u);
    EXPECT_TRUE(platform.starts.empty());
    EXPECT_TRUE(platform.windowClosed);
}

// ---- Maintenance --------------------------------------------------------------------------

struct MaintenanceTest : StartupSequenceTest {
    MaintenanceTest() {
        LocalFiles();
        Recorded();
        platform.keysDown = {kVkControl, kVkShift};
    }
};

TEST_F(MaintenanceTest, TheRightCodeOpensTheWindowWithABlankLabel) {
    platform.promptAnswers = {L"zelk"};
    EXPECT_EQ(Run(), kExitAccessStarted); // the window closed by its close box
    EXPECT_EQ(platform.prompts, std::vector<Text>{L"Šifra ?"});
    EXPECT_TRUE(platform.windowVisible);
    EXPECT_FALSE(platform.windowClosed);
    EXPECT_EQ(platform.controlText[Control::Label1], L"");
    EXPECT_TRUE(platform.starts.empty());
    EXPECT_TRUE(platform.searches.empty());
}

// The maintenance window tells an administrator why no trusted location is written, in
// one box; a location an administrator set, or the program folder trusted in place of a
// broad parent, needs no word. Nothing is written by opening it.
TEST_F(MaintenanceTest, OpeningTellsWhyNoTrustedLocationIsWritten) {
    const Text access = L"Access\\Security\\Trusted Locations",
               common = L"Common\\Security\\Trusted Locations";
    const std::pair<std::function<void(Scene &)>, Text> cases[] = {
        {[&](Scene &s) { s.PutOfficeDword(L"14.0", common, L"Allow User Locations", 0); },
         L"Pouzdana lokacija nije upisana: pravila sustava Office to ne dopuštaju."},
        {[&](Scene &s) { s.PutOfficeDword(L"14.0", access, L"AllLocationsDisabled", 1); },
         L"Pouzdane lokacije isključene su u sustavu Office."},
        {[&](Scene &s) { s.platform.knownFolders[KnownFolder::Downloads] = kProgramFolder; },
         L"Pouzdana lokacija nije upisana: mapa programa je preširoka."},
        {[&](Scene &s) {
             s.PutOfficeDword(L"14.0", common, L"Allow User Locations", 0);
             s.PutPolicyLocation(L"14.0", L"C:\\Apps");
         },
         L""},
        {[&](Scene &s) { s.platform.knownFolders[KnownFolder::Profile] = L"C:\\Apps"; }, L""},
    };
    for (const auto &[set, text] : cases) {
        Scene scene;
        scene.StandardConfig();
        scene.platform.keysDown = {kVkControl, kVkShift};
        scene.platform.promptAnswers = {L"zelk"};
        set(scene);
        EXPECT_EQ(RunLauncher(scene.platform), kExitAccessStarted);
        EXPECT_TRUE(scene.platform.regWrites.empty());
        EXPECT_EQ(scene.platform.messages.size(), text.empty() ? 0u : 1u);
        for (const auto &shown : scene.platform.messages)
            EXPECT_TRUE(shown.text == text && shown.icon == MessageIcon::Information &&
                        shown.title == Text(L"Upozorenje"))
                << test::Utf8(shown.text);
    }
}

TEST_F(MaintenanceTest, ButtonsStartUpdateAndEnd) {
    platform.promptAnswers = {L"zelk"};
    platform.clicks = {Control::CmdPokreniProgram, Control::CmdPokreniProgram,
                       Control::CmdUzmiNoviMDE, Control::CmdKraj, Control::CmdPokreniProgram};
    // The update waits, as a start does, for a launcher updating the same folder.
    std::size_t copiesWhileHeld = 99;
    platform.HoldLockElsewhere(kProgramFolder + L"\\" + kUpdateLockName, 2,
                               [&] { copiesWhileHeld = platform.copies.size(); });
    try {
        Run();
        ADD_FAILURE() << "Kraj did not end the program";
    } catch (const ProgramEnded &ended) {
        EXPECT_EQ(ended.exitCode, kExitAccessStarted);
    }
    EXPECT_EQ(platform.starts.size(), 2u); // nothing after Kraj
    EXPECT_TRUE(Updated());                // even though the copy was current
    EXPECT_EQ(copiesWhileHeld, 0u);
    EXPECT_TRUE(platform.windowVisible);
    EXPECT_EQ(platform.controlText[Control::Label1], L"");
}

TEST_F(MaintenanceTest, AFailedButtonReportsAndEndsWithItsCode) {
    for (Control button : {Control::CmdUzmiNoviMDE, Control::CmdPokreniProgram}) {
        Scene scene;
        scene.StandardConfig();
        scene.ServerFiles();
        scene.platform.keysDown = {kVkControl, kVkShift};
        scene.platform.promptAnswers = {L"zelk"};
        scene.platform.DeleteFileIfPresent(kServer + L"uxVTade.ade");
        scene.platform.FailCall(FakeCall::StartProgram, 1,
                                L"The system cannot find the file specified.");
        scene.platform.clicks = {button};
        try {
            RunLauncher(scene.platform);
            ADD_FAILURE() << "the program did not end";
        } catch (const ProgramEnded &ended) {
            EXPECT_EQ(ended.exitCode, kExitButtonFailed);
        }
        ASSERT_EQ(scene.platform.messages.size(), 1u);
        EXPECT_EQ(scene.platform.messages[0].text.rfind(
                      L"Dravik: Radnja nije uspjela!\r\rError:The system cannot find the file "
                      L"specified. (\"",
                      0),
                  0u);
    }
}

TEST_F(MaintenanceTest, AWrongCodeOrCancelStartsNormally) {
    for (Text answer : {L"Zelk", L"", L"zelk "}) {
        Scene scene;
        scene.StandardConfig();
        scene.ServerFiles();
        scene.LocalFiles();
        scene.Recorded();
        scene.platform.keysDown = {kVkControl, kVkShift};
        scene.platform.promptAnswers = {answer};
        RunLauncher(scene.platform);
        EXPECT_EQ(scene.platform.prompts.size(), 1u);
        EXPECT_EQ(scene.platform.starts.size(), 1u);
        EXPECT_TRUE(scene.platform.windowClosed);
    }
}

TEST_F(MaintenanceTest, CtrlIsAskedBeforeShiftAndBothAreAsked) {
    platform.keysDown.clear();
    Run();
    std::vector<Text> keys;
    for (const Text &call : platform.calls)
        if (call.rfind(L"IsKeyDown:", 0) == 0)
            keys.push_back(call);
    EXPECT_EQ(keys, (std::vector<Text>{L"IsKeyDown:17", L"IsKeyDown:16"}));
}

TEST_F(MaintenanceTest, OneKeyAloneAsksNothing) {
    for (int key : {kVkControl, kVkShift}) {
        Scene scene;
        scene.StandardConfig();
        scene.ServerFiles();
        scene.platform.keysDown = {key};
        RunLauncher(scene.platform);
        EXPECT_TRUE(scene.platform.prompts.empty());
        EXPECT_EQ(scene.platform.starts.size(), 1u);
    }
}

} // namespace
} // namespace dravik::test
