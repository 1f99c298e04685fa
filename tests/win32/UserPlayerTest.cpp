// DravikUser.exe driving a stand-in launcher (DravikUiDemo) in its own process:
// held keys, the prompt, message boxes with their icons, the window and its
// buttons, all read from the tool's log.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/TestText.h"
#include "tests/support/UserLog.h"
#include "tests/support/WindowReading.h"

namespace dravik {
namespace {

using test::PlayerRun;

PlayerRun Play(const std::wstring &name, const std::wstring &options) {
    CreateDirectoryW(test::WindowsPath(DRAVIK_ARTIFACT_DIR).c_str(), nullptr);
    std::wstring log = test::WindowsPath(DRAVIK_ARTIFACT_DIR) + L"\\user-" + name + L".log";
    std::wstring commandLine = L"\"" + test::WindowsPath(DRAVIK_USER_EXE) + L"\" --log \"" + log +
                               L"\" --timeout-ms 30000 --run \"" +
                               test::WindowsPath(DRAVIK_UI_DEMO_EXE) + L"\" " + options;
    PlayerRun run;
    run.toolExit = test::RunAndWait(commandLine, 60000);
    run.log = test::ReadUtf8Lines(log);
    return run;
}

TEST(DravikUser, NormalStartWithoutKeysSeesMessagesAndTheStatusWindow) {
    PlayerRun run = Play(L"normal", L"message wait-window message");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    auto messages = run.Lines(L"message");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0],
              L"message\ttitle=DravikVT\ticon=information\ttext=Tipke: ctrl=0 shift=0");
    EXPECT_EQ(messages[1], L"message\ttitle=DravikVT\ticon=exclamation\ttext=Dravik: Ne mogu "
                           L"pokrenuti program!\\r\\r\\nError:neće");
    ASSERT_EQ(run.Lines(L"window-shown").size(), 1u);
    EXPECT_EQ(run.Lines(L"window-shown")[0],
              L"window-shown\tlabel=Kopiranje nove verzije programa...");
    EXPECT_TRUE(run.Lines(L"prompt").empty());
    EXPECT_EQ(run.Lines(L"exit"), std::vector<std::wstring>{L"exit\tcode=3"});
}

TEST(DravikUser, HeldCtrlAndShiftReachTheProgramAndOpenMaintenance) {
    PlayerRun run =
        Play(L"maintenance", L"--hold ctrl,shift prompt:zelk wait-window "
                             L"\"click:Pokreni program\" message \"click:Uzmi novi MDA\" "
                             L"message close-window");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"keys"),
              (std::vector<std::wstring>{L"keys\tdown=ctrl,shift",
                                         L"keys\tup=ctrl,shift\tafter=prompt"}));
    EXPECT_EQ(run.Lines(L"prompt"),
              std::vector<std::wstring>{L"prompt\ttitle=DravikVT\ttext=Šifra ?"});
    EXPECT_EQ(run.Lines(L"prompt-answer"),
              std::vector<std::wstring>{L"prompt-answer\tbutton=ok\ttext=zelk"});
    EXPECT_EQ(run.Lines(L"window"), std::vector<std::wstring>{L"window\tvisible\tlabel="});
    auto messages = run.Lines(L"message");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0],
              L"message\ttitle=Dravik pokreće\ticon=information\ttext=Pokreni program");
    EXPECT_EQ(
        messages[1],
        L"message\ttitle=DravikVT\ticon=exclamation\ttext=Nema datoteke:\\r\\nVelkor_2007.exe");
    auto labels = run.Lines(L"label");
    EXPECT_NE(
        std::find(labels.begin(), labels.end(), L"label\ttext=Kopiranje nove verzije programa..."),
        labels.end());
    EXPECT_EQ(run.Lines(L"exit"), std::vector<std::wstring>{L"exit\tcode=0"});
}

TEST(DravikUser, KrajEndsTheProgram) {
    PlayerRun run = Play(L"kraj", L"--hold ctrl,shift prompt-enter:zelk wait-window click:Kraj");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"prompt-answer"),
              std::vector<std::wstring>{L"prompt-answer\tbutton=enter\ttext=zelk"});
    EXPECT_TRUE(run.Lines(L"message").empty());
    EXPECT_EQ(run.Lines(L"exit"), std::vector<std::wstring>{L"exit\tcode=5"});
}

TEST(DravikUser, CancelledPromptGoesOnAsANormalStart) {
    PlayerRun run = Play(L"cancel", L"--hold ctrl,shift prompt-cancel");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    auto messages = run.Lines(L"message");
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], L"message\ttitle=DravikVT\ticon=none\ttext=odgovor=");
    // the keys as read at start
    EXPECT_EQ(messages[1],
              L"message\ttitle=DravikVT\ticon=information\ttext=Tipke: ctrl=1 shift=1");
    EXPECT_EQ(run.Lines(L"exit"), std::vector<std::wstring>{L"exit\tcode=3"});
}

TEST(DravikUser, ShiftAloneGivesNoPrompt) {
    PlayerRun run = Play(L"shift", L"--hold shift");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_TRUE(run.Lines(L"prompt").empty());
    auto messages = run.Lines(L"message");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0],
              L"message\ttitle=DravikVT\ticon=information\ttext=Tipke: ctrl=0 shift=1");
}

TEST(DravikUser, EscapeAndWrongCodeAreLogged) {
    PlayerRun run = Play(L"escape", L"--hold ctrl,shift prompt-escape");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"prompt-answer"),
              std::vector<std::wstring>{L"prompt-answer\tbutton=escape\ttext="});
    auto messages = run.Lines(L"message");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0], L"message\ttitle=DravikVT\ticon=none\ttext=odgovor=");

    PlayerRun wrong = Play(L"wrong", L"--hold ctrl,shift prompt:ZELK");
    SCOPED_TRACE(test::Utf8(wrong.All()));
    auto wrongMessages = wrong.Lines(L"message");
    ASSERT_FALSE(wrongMessages.empty());
    EXPECT_EQ(wrongMessages[0], L"message\ttitle=DravikVT\ticon=none\ttext=odgovor=ZELK");
}

TEST(DravikUser, ReportsAScriptThatCannotFinish) {
    // The window never shows a "Nema" button: the tool says which action was left.
    PlayerRun run = Play(L"unfinished", L"message click:Nema");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 1);
    EXPECT_EQ(run.Lines(L"unfinished"),
              std::vector<std::wstring>{L"unfinished\taction=click:Nema"});
}

} // namespace
} // namespace dravik
