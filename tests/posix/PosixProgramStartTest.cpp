// Starting a program: arguments split as Windows splits them, the working folder,
// the show mode handed on, and no waiting.
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/SystemPlatform.h"
#include "platform/posix/PosixProgramStart.h"
#include "tests/support/Bytes.h"
#include "tests/support/Environment.h"
#include "tests/support/ScratchFolder.h"

namespace dravik {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::ScratchFolder;
using test::WaitForFile;
using test::WriteBytes;

TEST(PosixCommandLine, QuotesGroupAndSpacesSplit) {
    EXPECT_EQ(SplitCommandLine(L"\"C:\\Dravik VT\\uxVTade.ade\" /user Admin /pwd "),
              (std::vector<Text>{L"C:\\Dravik VT\\uxVTade.ade", L"/user", L"Admin", L"/pwd"}));
    EXPECT_EQ(SplitCommandLine(L"  a\t\tb  "), (std::vector<Text>{L"a", L"b"}));
    EXPECT_EQ(SplitCommandLine(L""), std::vector<Text>{});
    EXPECT_EQ(SplitCommandLine(L"\"\" x"), (std::vector<Text>{L"", L"x"}));
    EXPECT_EQ(SplitCommandLine(L"pre\"fix mid\"post"), std::vector<Text>{L"prefix midpost"});
}

TEST(PosixCommandLine, BackslashesAreLiteralExceptBeforeAQuote) {
    EXPECT_EQ(SplitCommandLine(L"C:\\a\\b\\"), std::vector<Text>{L"C:\\a\\b\\"});
    EXPECT_EQ(SplitCommandLine(L"say\\\"hi\\\""), std::vector<Text>{L"say\"hi\""});
    EXPECT_EQ(SplitCommandLine(L"\"C:\\dir\\\\\" next"),
              (std::vector<Text>{L"C:\\dir\\", L"next"}));
    EXPECT_EQ(SplitCommandLine(L"\"a \"\"b\"\" c\""), std::vector<Text>{L"a \"b\" c"});
}

class PosixProgramStart : public ::testing::Test {
protected:
    // A stand-in program that writes its folder, show mode and arguments to `report`.
    void MakeStandIn(const std::string &name, const std::string &report, int delaySeconds = 0) {
        WriteBytes(scratch_.Native(name), "#!/bin/sh\nsleep " + std::to_string(delaySeconds) +
                                              "\n{ pwd; echo \"$DRAVIKVT_SHOW_MODE\"; " +
                                              "for a in \"$@\"; do echo \"[$a]\"; done; } > '" +
                                              report + ".part'\n" + "mv '" + report + ".part' '" +
                                              report + "'\n");
        fs::permissions(scratch_.Path() / name, fs::perms::owner_all);
    }

    ScratchFolder scratch_;
    std::unique_ptr<PlatformServices> platform_ = MakeSystemPlatform();
};

TEST_F(PosixProgramStart, ProgramRunsInItsFolderWithTheSplitArgumentsAndShowMode) {
    fs::create_directories(scratch_.Path() / "Radni Folder");
    std::string report = scratch_.Native("report.txt");
    MakeStandIn("MSACCESS.EXE", report);

    platform_->StartProgram(platform_->Window().GetWindowHandle(),
                            scratch_.Windows(L"\\msaccess.exe"),
                            L"\"C:\\Dravik VT\\uxVTade.ade\" /user Admin /pwd /Cmd SQL baza",
                            scratch_.Windows(L"radni folder"), kShowMinimized);

    ASSERT_TRUE(WaitForFile(report, std::chrono::seconds(20)));
    EXPECT_EQ(ReadBytes(report), scratch_.Native("Radni Folder") +
                                     "\n2\n[C:\\Dravik VT\\uxVTade.ade]\n[/user]\n[Admin]\n"
                                     "[/pwd]\n[/Cmd]\n[SQL]\n[baza]\n");
}

TEST_F(PosixProgramStart, AWorkingFolderThatDoesNotExistKeepsTheCurrentOne) {
    std::string report = scratch_.Native("report.txt");
    MakeStandIn("standin.sh", report);
    char *current = getcwd(nullptr, 0);
    std::string expected = current;
    std::free(current);

    platform_->StartProgram(1, scratch_.Windows(L"standin.sh"), L"", L"c:\\", kShowMinimized);

    ASSERT_TRUE(WaitForFile(report, std::chrono::seconds(20)));
    EXPECT_EQ(ReadBytes(report), expected + "\n2\n");
}

TEST_F(PosixProgramStart, StartDoesNotWaitForTheProgram) {
    std::string report = scratch_.Native("late.txt");
    MakeStandIn("slow.sh", report, 3);

    auto before = std::chrono::steady_clock::now();
    platform_->StartProgram(1, scratch_.Windows(L"slow.sh"), L"x", scratch_.Windows(), 2);
    auto took = std::chrono::steady_clock::now() - before;

    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_FALSE(fs::exists(report));
    EXPECT_TRUE(WaitForFile(report, std::chrono::seconds(20))); // and yet it did run
}

// Access gets the launcher's output descriptors and nothing else of it: not its
// input, which the launcher's prompts keep, nor any other descriptor.
TEST_F(PosixProgramStart, TheProgramGetsNoStrayDescriptorAndNoInput) {
    for (int fd = 3; fd < 1024; ++fd) // what the test itself inherited is not the launcher's
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    std::string report = scratch_.Native("fds.txt");
    WriteBytes(scratch_.Native("fds.sh"),
               "#!/bin/sh\nls -l /proc/$$/fd | awk '$(NF-2) + 0 >= 3 && $NF == \"/dev/null\" "
               "{ print $(NF-2) }' > '" +
                   report + ".part'\ncat >> '" + report + ".part'\nmv '" + report + ".part' '" +
                   report + "'\n");
    fs::permissions(scratch_.Path() / "fds.sh", fs::perms::owner_all);
    WriteBytes(scratch_.Native("typed.txt"), "typed at the launcher\n");
    const int input = fcntl(0, F_DUPFD_CLOEXEC, 3);
    const int typed = open(scratch_.Native("typed.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(typed, 0);
    dup2(typed, 0);
    close(typed);
    platform_->StartProgram(1, scratch_.Windows(L"fds.sh"), L"", L"c:\\", kShowMinimized);
    dup2(input, 0);
    close(input);
    ASSERT_TRUE(WaitForFile(report, std::chrono::seconds(20)));
    EXPECT_EQ(ReadBytes(report), "");
}

// The program that did not start is told, with the system's reason.
TEST_F(PosixProgramStart, AProgramThatCannotStartIsAFailureNamingIt) {
    WriteBytes(scratch_.Native("plain.txt"), "not a program");
    const std::pair<Text, Text> cases[] = {{L"Nema\\MSACCESS.EXE", L"No such file"},
                                           {L"plain.txt", L"Permission denied"}};
    for (const auto &[name, reason] : cases) {
        try {
            platform_->StartProgram(1, scratch_.Windows(name), L"\"a\"", L"c:\\", 2);
            ADD_FAILURE() << "no failure for " << fs::path(name).string();
        } catch (const Failure &failure) {
            EXPECT_EQ(failure.Description(),
                      failure.Cause() + L" (\"" + scratch_.Windows(name) + L"\")");
            EXPECT_NE(failure.Cause().find(reason), Text::npos) << fs::path(failure.Cause());
        }
    }
}

} // namespace
} // namespace dravik
