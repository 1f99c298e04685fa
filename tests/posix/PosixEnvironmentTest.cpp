// Program folder, environment, clock, held keys and ending the program on POSIX.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/SystemPlatform.h"
#include "tests/support/Bytes.h"
#include "tests/support/Environment.h"
#include "tests/support/ScratchFolder.h"

namespace dravik {
namespace {

using test::EnvironmentOverride;

TEST(PosixEnvironment, ProgramFolderIsTheFolderOfTheRunningExecutable) {
    auto platform = MakeSystemPlatform();
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
    Text folder = platform->ProgramFolderPath();
    EXPECT_EQ(folder, exe.parent_path().wstring());
    EXPECT_NE(folder.back(), L'/');
}

TEST(PosixEnvironment, VariableNameIgnoresCaseAndValueIsUtf8) {
    EnvironmentOverride name("DravikTestUserName", "Ana \xC5\xA0"
                                                   "ari\xC4\x87");
    EnvironmentOverride exact("DRAVIKTESTUSERNAME", std::nullopt);
    auto platform = MakeSystemPlatform();
    EXPECT_EQ(platform->GetEnvVar(L"DRAVIKTESTUSERNAME"), L"Ana \u0160ari\u0107");
    EXPECT_EQ(platform->GetEnvVar(L"dravikTestUsername"), L"Ana \u0160ari\u0107");
    EXPECT_EQ(platform->GetEnvVar(L"DravikTestNotSet"), L"");
    EXPECT_EQ(platform->GetEnvVar(L""), L"");
}

// The folders no trusted location may name: $HOME and three of its own, and the temporary one.
TEST(PosixEnvironment, KnownFoldersComeFromHomeAndTmpdir) {
    EnvironmentOverride home("HOME", "/home/ana/");
    EnvironmentOverride temp("TMPDIR", std::nullopt);
    auto platform = MakeSystemPlatform();
    EXPECT_EQ(platform->KnownFolderPath(KnownFolder::Profile), L"/home/ana");
    EXPECT_EQ(platform->KnownFolderPath(KnownFolder::Downloads), L"/home/ana/Downloads");
    EXPECT_EQ(platform->KnownFolderPath(KnownFolder::Temp), L"/tmp");
    EXPECT_EQ(platform->KnownFolderPath(KnownFolder::Windows), L"");
    EnvironmentOverride own("TMPDIR", "/var/tmp/ana/");
    EXPECT_EQ(platform->KnownFolderPath(KnownFolder::Temp), L"/var/tmp/ana");
}

TEST(PosixEnvironment, ExactNameWinsOverOneInAnotherCase) {
    EnvironmentOverride upper("DRAVIKTESTPC", "upper");
    EnvironmentOverride lower("draviktestpc", "lower");
    auto platform = MakeSystemPlatform();
    EXPECT_EQ(platform->GetEnvVar(L"draviktestpc"), L"lower");
    EXPECT_EQ(platform->GetEnvVar(L"DRAVIKTESTPC"), L"upper");
}

TEST(PosixEnvironment, WithoutANationalLocaleDateAndTimeUseTheCroatianWindowsFormats) {
    EnvironmentOverride all("LC_ALL", "C.UTF-8");
    auto platform = MakeSystemPlatform();
    std::string date = std::filesystem::path(platform->DateText()).string();
    std::string time = std::filesystem::path(platform->TimeText()).string();
    EXPECT_TRUE(std::regex_match(date, std::regex(R"([0-3]\d\.[01]\d\.\d{4}\.)"))) << date;
    // Hours carry no leading zero: "9:05:03", not "09:05:03".
    EXPECT_TRUE(std::regex_match(time, std::regex(R"((1?\d|2[0-3]):[0-5]\d:[0-5]\d)"))) << time;
}

TEST(PosixEnvironment, HeldKeysComeFromTheEnvironment) {
    auto platform = MakeSystemPlatform();
    {
        EnvironmentOverride none("DRAVIKVT_HELD_KEYS", std::nullopt);
        EXPECT_FALSE(platform->IsKeyDown(kVkControl));
        EXPECT_FALSE(platform->IsKeyDown(kVkShift));
    }
    {
        EnvironmentOverride names("DRAVIKVT_HELD_KEYS", "Ctrl, SHIFT");
        EXPECT_TRUE(platform->IsKeyDown(kVkControl));
        EXPECT_TRUE(platform->IsKeyDown(kVkShift));
    }
    {
        EnvironmentOverride codes("DRAVIKVT_HELD_KEYS", "17");
        EXPECT_TRUE(platform->IsKeyDown(kVkControl));
        EXPECT_FALSE(platform->IsKeyDown(kVkShift));
    }
    {
        EnvironmentOverride longName("DRAVIKVT_HELD_KEYS", "control+16");
        EXPECT_TRUE(platform->IsKeyDown(kVkControl));
        EXPECT_TRUE(platform->IsKeyDown(kVkShift));
    }
}

TEST(PosixEnvironment, LetterCaseMapsCroatianLetters) {
    auto platform = MakeSystemPlatform();
    EXPECT_EQ(platform->ToUpper(L"pc-\u0161\u0107\u010D\u017E\u0111"),
              L"PC-\u0160\u0106\u010C\u017D\u0110");
    EXPECT_EQ(platform->ToLower(L"ANA \u0160\u0106\u010C\u017D\u0110"),
              L"ana \u0161\u0107\u010D\u017E\u0111");
}

TEST(PosixEnvironment, EndProgramFlushesOutputAndSkipsExitHandlers) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    std::fflush(stdout);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(pipeEnds[1], 1);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::atexit([] { std::fputs("exit handler ran", stdout); });
        std::fputs("pending output", stdout); // still in the stdio buffer
        MakeSystemPlatform()->EndProgram(3);
    }
    close(pipeEnds[1]);
    std::string output;
    char chunk[256];
    ssize_t got;
    while ((got = read(pipeEnds[0], chunk, sizeof chunk)) > 0)
        output.append(chunk, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(output, "pending output");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

} // namespace
} // namespace dravik
