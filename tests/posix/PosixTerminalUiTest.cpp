// The launcher window, message box and prompt on a terminal.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/SystemPlatform.h"
#include "platform/posix/PosixTerminalUi.h"
#include "ui/LauncherWindowLayout.h"

namespace dravik {
namespace {

// A terminal whose input is a prepared file and whose output is captured.
class TerminalUi : public ::testing::Test {
protected:
    void SetUp() override {
        input_ = std::tmpfile();
        output_ = std::tmpfile();
        ASSERT_NE(input_, nullptr);
        ASSERT_NE(output_, nullptr);
    }
    void TearDown() override {
        std::fclose(input_);
        std::fclose(output_);
    }
    void Type(const std::string &text) {
        std::fputs(text.c_str(), input_);
        std::rewind(input_);
    }
    std::string Printed() {
        std::fflush(output_);
        std::string text;
        std::rewind(output_);
        int c;
        while ((c = std::fgetc(output_)) != EOF)
            text += static_cast<char>(c);
        return text;
    }

    std::FILE *input_ = nullptr;
    std::FILE *output_ = nullptr;
};

TEST_F(TerminalUi, StatusTextIsPrintedOnlyWhileTheWindowIsShownAndOncePerChange) {
    PosixTerminalUi ui(input_, output_);
    ui.CreateLauncherWindow(LauncherWindowLayout(), [](Control) {});
    ui.RepaintWindow();
    EXPECT_EQ(Printed(), "");

    ui.SetWindowVisible(true);
    ui.RepaintWindow();
    ui.SetControlText(Control::Label1, L"Kopiranje nove verzije programa...");
    EXPECT_EQ(Printed(), "[Dravik] Kopiranje nove verzije programa...\n");

    ui.SetControlText(Control::Label1, L"");
    ui.SetControlText(Control::Label1, L"Gotovo \u0161");
    EXPECT_EQ(Printed(), "[Dravik] Kopiranje nove verzije programa...\n[Dravik] Gotovo \xC5\xA1\n");
}

// Progress goes on the terminal's status line, rewritten in place as it grows and
// wiped when done; output to a file or a pipe gets none of it.
TEST_F(TerminalUi, ProgressIsShownOnTheStatusLineOfATerminalOnly) {
    PosixTerminalUi piped(input_, output_);
    piped.CreateLauncherWindow(LauncherWindowLayout(), [](Control) {});
    piped.ShowProgress(1, 2);
    EXPECT_EQ(Printed(), "");

    int terminal = -1, screen = -1;
    ASSERT_EQ(openpty(&terminal, &screen, nullptr, nullptr, nullptr), 0);
    std::FILE *output = fdopen(screen, "w");
    ASSERT_NE(output, nullptr);
    {
        PosixTerminalUi ui(input_, output);
        ui.CreateLauncherWindow(LauncherWindowLayout(), [](Control) {});
        for (std::uint64_t done : {0, 1, 2, 3, 4})
            ui.ShowProgress(done, 4);
        ui.ShowProgress(0, 0);
    }
    std::fclose(output);
    // The terminal hands on what was written in pieces, as it arrives.
    const std::string expected = "\r[Dravik] 0%\r[Dravik] 25%\r[Dravik] 50%\r[Dravik] 75%"
                                 "\r[Dravik] 100%\r\x1b[K";
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{terminal, POLLIN, 0};
        char chunk[256];
        const ssize_t got = poll(&ready, 1, 100) > 0 ? read(terminal, chunk, sizeof chunk) : 0;
        if (got < 0 && errno != EINTR && errno != EAGAIN)
            break; // the other side closed and all it wrote has been read
        seen.append(chunk, got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    close(terminal);
    EXPECT_EQ(seen, expected);
}

TEST_F(TerminalUi, WindowSizeIsTheClientAreaAndAFrame) {
    PosixTerminalUi ui(input_, output_);
    ui.CreateLauncherWindow(LauncherWindowLayout(), [](Control) {});
    TwipSize size = ui.WindowSize();
    EXPECT_GT(size.width, 5025);
    EXPECT_GT(size.height, 2400);
    EXPECT_EQ(ui.ScreenSize().width, 1920 * 15);
    EXPECT_NE(ui.GetWindowHandle(), 0u);
}

TEST_F(TerminalUi, EventLoopDeliversNumberedChoicesUntilTheWindowCloses) {
    Type("2\n9\n1\n3\n1\n");
    PosixTerminalUi ui(input_, output_);
    std::vector<Control> clicks;
    ui.CreateLauncherWindow(LauncherWindowLayout(), [&](Control control) {
        clicks.push_back(control);
        if (control == Control::CmdKraj)
            ui.CloseLauncherWindow();
    });
    ui.SetControlText(Control::Label1, L"");
    ui.SetWindowVisible(true);

    ui.RunEventLoop();

    EXPECT_EQ(clicks, (std::vector<Control>{Control::CmdPokreniProgram, Control::CmdUzmiNoviMDE,
                                            Control::CmdKraj}));
    EXPECT_NE(Printed().find("1) Uzmi novi MDA  2) Pokreni program  3) Kraj"), std::string::npos);
}

TEST_F(TerminalUi, EndOfInputClosesTheWindow) {
    Type("2\n");
    PosixTerminalUi ui(input_, output_);
    int clicks = 0;
    ui.CreateLauncherWindow(LauncherWindowLayout(), [&](Control) { ++clicks; });
    ui.SetWindowVisible(true);
    ui.RunEventLoop();
    EXPECT_EQ(clicks, 1);
    ui.SetControlText(Control::Label1, L"after close");
    EXPECT_EQ(Printed().find("after close"), std::string::npos);
}

TEST_F(TerminalUi, EventLoopOfAWindowNeverShownReturnsWithoutReading) {
    Type("3\n");
    PosixTerminalUi ui(input_, output_);
    int clicks = 0;
    ui.CreateLauncherWindow(LauncherWindowLayout(), [&](Control) { ++clicks; });
    ui.RunEventLoop();
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(std::ftell(input_), 0);
}

TEST_F(TerminalUi, MessageIsPrintedWithTitleAndKindAndDoesNotWaitWithoutATerminal) {
    Type("answer\n");
    PosixTerminalUi ui(input_, output_);

    ui.ShowMessage(L"Ne mogu dodijeliti prava na folder/x\r\nTesmar se ne\u0107e pokrenuti!",
                   MessageIcon::Exclamation, std::nullopt);
    ui.ShowMessage(L"Gotovo", MessageIcon::Information, Text(L"Dravik"));

    std::string printed = Printed();
    EXPECT_NE(printed.find("DravikVT (Exclamation)"), std::string::npos);
    EXPECT_NE(printed.find("folder/x\nTesmar se ne\xC4\x87"
                           "e pokrenuti!\n"),
              std::string::npos);
    EXPECT_NE(printed.find("Dravik (Information)"), std::string::npos);
    EXPECT_EQ(std::ftell(input_), 0) << "the message box consumed input";
}

TEST_F(TerminalUi, PromptReadsOneLineAndEndOfInputIsCancel) {
    Type("tajna \xC5\xA1ifra\r\nnext\n");
    PosixTerminalUi ui(input_, output_);

    EXPECT_EQ(ui.AskText(L"\u0160ifra ?"), L"tajna \u0161ifra");
    EXPECT_EQ(ui.AskText(L"\u0160ifra ?"), L"next");
    EXPECT_EQ(ui.AskText(L"\u0160ifra ?"), L"");
    EXPECT_EQ(Printed().rfind("DravikVT: \xC5\xA0ifra ? ", 0), 0u);
}

// The real platform on redirected standard input and output: the message box must
// not take the line meant for the prompt.
TEST(PosixTerminalPlatform, RedirectedInputAnswersThePromptNotTheMessage) {
    int toChild[2];
    int fromChild[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(fromChild), 0);
    std::fflush(stdout);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(20); // a prompt waiting forever must not hang the suite
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        close(toChild[0]);
        close(toChild[1]);
        close(fromChild[0]);
        close(fromChild[1]);
        auto platform = MakeSystemPlatform();
        platform->Window().ShowMessage(L"Poruka", MessageIcon::Information, std::nullopt);
        Text answer = platform->Window().AskText(L"\u0160ifra ?");
        std::fputs(answer == L"\u0161ifra123" ? "<matched>" : "<other>", stdout);
        std::fflush(stdout);
        _exit(0);
    }
    close(toChild[0]);
    close(fromChild[1]);
    const char typed[] = "\xC5\xA1ifra123\n";
    ASSERT_EQ(write(toChild[1], typed, sizeof typed - 1), static_cast<ssize_t>(sizeof typed - 1));
    close(toChild[1]);
    std::string output;
    char chunk[256];
    ssize_t got;
    while ((got = read(fromChild[0], chunk, sizeof chunk)) > 0)
        output.append(chunk, static_cast<std::size_t>(got));
    close(fromChild[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child hung or crashed";
    EXPECT_NE(output.find("=== DravikVT (Information) ===\nPoruka\n"), std::string::npos) << output;
    EXPECT_NE(output.find("DravikVT: \xC5\xA0ifra ? "), std::string::npos) << output;
    EXPECT_NE(output.find("<matched>"), std::string::npos) << output;
}

} // namespace
} // namespace dravik
