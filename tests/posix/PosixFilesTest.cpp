// Files and folders on a case-sensitive disk, found the way Windows finds them.
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "launcher/StartLog.h"
#include "platform/SystemPlatform.h"
#include "platform/common/CodePage.h"
#include "platform/common/PathText.h"
#include "tests/support/Bytes.h"
#include "tests/support/Environment.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TextParts.h"

namespace dravik {
namespace {

namespace fs = std::filesystem;
using test::EnvironmentOverride;
using test::ReadBytes;
using test::ScratchFolder;
using test::WriteBytes;

class PosixFiles : public ::testing::Test {
protected:
    PosixFiles() : codePage_("DRAVIKVT_CODEPAGE", std::nullopt) {}

    EnvironmentOverride codePage_;
    ScratchFolder scratch_;
    std::unique_ptr<PlatformServices> platform_ = MakeSystemPlatform();
};

TEST_F(PosixFiles, NestedPathIsFoundWhateverTheLetterCase) {
    fs::create_directories(scratch_.Path() / "Server" / "Nova Verzija");
    WriteBytes(scratch_.Native("Server/Nova Verzija/DravikVT.txt"), "NewFE = uxVTade.ade\r\n");

    std::vector<Text> lines =
        ReadAllLines(*platform_, scratch_.Windows(L"SERVER\\nova verzija\\dravikvt.TXT"));

    EXPECT_EQ(lines, std::vector<Text>{L"NewFE = uxVTade.ade"});
}

TEST_F(PosixFiles, ServerFileAskedInLowerCaseIsCopiedUnderTheGivenNewName) {
    fs::create_directories(scratch_.Path() / "Server");
    fs::create_directories(scratch_.Path() / "Local");
    WriteBytes(scratch_.Native("Server/RuxVT1.ade"), "report v2");

    platform_->CopyFileOver(scratch_.Windows(L"server\\ruxvt1.ade"),
                            scratch_.Windows(L"local\\ruxvt1.ade"));

    EXPECT_EQ(ReadBytes(scratch_.Native("Local/ruxvt1.ade")), "report v2");
}

TEST_F(PosixFiles, CopyReplacesATargetThatExistsInAnotherCase) {
    fs::create_directories(scratch_.Path() / "Server");
    fs::create_directories(scratch_.Path() / "Local");
    WriteBytes(scratch_.Native("Server/RuxVT1.ade"), "new");
    WriteBytes(scratch_.Native("Local/RUXVT1.ADE"), "old and longer");

    platform_->CopyFileOver(scratch_.Windows(L"Server\\ruxvt1.ade"),
                            scratch_.Windows(L"Local\\RuxVT1.ade"));

    EXPECT_EQ(ReadBytes(scratch_.Native("Local/RUXVT1.ADE")), "new");
    EXPECT_EQ(
        std::distance(fs::directory_iterator(scratch_.Path() / "Local"), fs::directory_iterator()),
        1);
}

TEST_F(PosixFiles, CopyKeepsTheExecutableBitOfTheSource) {
    WriteBytes(scratch_.Native("Velkor_2007.exe"), "#!/bin/sh\n");
    fs::permissions(scratch_.Path() / "Velkor_2007.exe", fs::perms::owner_all);

    platform_->CopyFileOver(scratch_.Windows(L"velkor_2007.EXE"), scratch_.Windows(L"copy.exe"));

    auto perms = fs::status(scratch_.Path() / "copy.exe").permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(PosixFiles, CopyFailsForAMissingSourceOrAFolder) {
    fs::create_directories(scratch_.Path() / "Folder.ade");
    EXPECT_THROW(
        platform_->CopyFileOver(scratch_.Windows(L"missing.ade"), scratch_.Windows(L"target.ade")),
        Failure);
    EXPECT_THROW(
        platform_->CopyFileOver(scratch_.Windows(L"folder.ade"), scratch_.Windows(L"target.ade")),
        Failure);
    EXPECT_FALSE(fs::exists(scratch_.Path() / "target.ade"));
}

TEST_F(PosixFiles, CopyOntoItselfFailsWithoutLosingTheFile) {
    WriteBytes(scratch_.Native("Front.ade"), "keep me");
    EXPECT_THROW(
        platform_->CopyFileOver(scratch_.Windows(L"Front.ade"), scratch_.Windows(L"FRONT.ADE")),
        Failure);
    EXPECT_EQ(ReadBytes(scratch_.Native("Front.ade")), "keep me");
}

TEST_F(PosixFiles, MoveReplacesTheTargetFoundIgnoringCase) {
    WriteBytes(scratch_.Native("uxVTade.ade.new"), "fresh");
    WriteBytes(scratch_.Native("uxVTade.ade"), "stale");

    platform_->MoveFileOver(scratch_.Windows(L"UXVTADE.ADE.NEW"), scratch_.Windows(L"uxvtade.ade"));

    EXPECT_EQ(ReadBytes(scratch_.Native("uxVTade.ade")), "fresh");
    EXPECT_FALSE(fs::exists(scratch_.Path() / "uxVTade.ade.new"));
    EXPECT_FALSE(fs::exists(scratch_.Path() / "uxvtade.ade"));
}

TEST_F(PosixFiles, DeleteIgnoresAMissingFileButNotAFolder) {
    WriteBytes(scratch_.Native("Stale.tmp"), "x");
    fs::create_directories(scratch_.Path() / "Folder");

    platform_->DeleteFileIfPresent(scratch_.Windows(L"STALE.TMP"));
    EXPECT_FALSE(fs::exists(scratch_.Path() / "Stale.tmp"));
    EXPECT_NO_THROW(platform_->DeleteFileIfPresent(scratch_.Windows(L"stale.tmp")));
    EXPECT_THROW(platform_->DeleteFileIfPresent(scratch_.Windows(L"folder")), Failure);
}

TEST_F(PosixFiles, SearchListsOrdinaryVisibleFilesSortedIgnoringCase) {
    WriteBytes(scratch_.Native("b.ade"), "");
    WriteBytes(scratch_.Native("A.ADE"), "");
    WriteBytes(scratch_.Native("c.txt"), "");
    WriteBytes(scratch_.Native(".hidden.ade"), "");
    fs::create_directories(scratch_.Path() / "folder.ade");

    EXPECT_EQ(platform_->FindFirstMatch(scratch_.Windows(L"*.ade")), L"A.ADE");
    EXPECT_EQ(platform_->FindNextMatch(), L"b.ade");
    EXPECT_EQ(platform_->FindNextMatch(), L"");
    EXPECT_EQ(platform_->FindNextMatch(), L"");
}

TEST_F(PosixFiles, ANewSearchStartsTheCursorOver) {
    WriteBytes(scratch_.Native("RuxVT1.ade"), "");
    WriteBytes(scratch_.Native("RuxVT2.ade"), "");

    EXPECT_EQ(platform_->FindFirstMatch(scratch_.Windows(L"rux*.ade")), L"RuxVT1.ade");
    EXPECT_EQ(platform_->FindFirstMatch(scratch_.Windows(L"ruxvt2.ADE")), L"RuxVT2.ade");
    EXPECT_EQ(platform_->FindNextMatch(), L"");
}

TEST_F(PosixFiles, PlainPathIsAnExistenceTestAnsweringTheNameOnDisk) {
    fs::create_directories(scratch_.Path() / "Server");
    WriteBytes(scratch_.Native("Server/Kolacici.txt"), "");

    EXPECT_EQ(platform_->FindFirstMatch(scratch_.Windows(L"SERVER\\kolacici.txt")),
              L"Kolacici.txt");
    EXPECT_EQ(platform_->FindFirstMatch(scratch_.Windows(L"Server\\Nema.txt")), L"");
}

TEST_F(PosixFiles, SearchOfAMissingFolderOrAnEmptyNameFindsNothing) {
    WriteBytes(scratch_.Native("x.txt"), "");
    EXPECT_EQ(platform_->FindFirstMatch(scratch_.Windows(L"Nema\\*.txt")), L"");
    EXPECT_EQ(platform_->FindFirstMatch(scratch_.Windows() + L"\\"), L"");
    EXPECT_EQ(platform_->FindFirstMatch(scratch_.Windows()), L""); // a folder, not a file
}

TEST_F(PosixFiles, LinesHandedOneByOneAreTheLinesOfTheWholeText) {
    // Line ends falling on every side of the read chunks, and a lone CR kept.
    std::string bytes = "one\r\n\r\nthree\r\nLF only\nCR\ronly\r\n";
    bytes += std::string(65530, 'a') + "\r\n" + std::string(70000, 'b') + "\n\x8A" + "end\r";
    WriteBytes(scratch_.Native("long.txt"), bytes);

    std::vector<Text> visited;
    platform_->ForEachLine(scratch_.Windows(L"LONG.txt"),
                           [&](const Text &line) { visited.push_back(line); });

    std::vector<Text> expected =
        SplitLines(DecodeSingleByte(bytes, SingleByteCodePage::Windows1250));
    for (Text &line : expected)
        line.resize(std::min(line.size(), kLongestLineKept));
    EXPECT_EQ(visited.size(), 8u);
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(ReadAllLines(*platform_, scratch_.Windows(L"long.TXT")), expected);
    EXPECT_EQ(visited.back(), L"\u0160end\r");
}

TEST_F(PosixFiles, ReadingAFolderOrAMissingFileFailsNamingThePath) {
    fs::create_directories(scratch_.Path() / "Folder");
    EXPECT_THROW(ReadAllLines(*platform_, scratch_.Windows(L"folder")), Failure);
    try {
        ReadAllLines(*platform_, scratch_.Windows(L"DravikVT.txt"));
        FAIL() << "a missing file was read";
    } catch (const Failure &failure) {
        EXPECT_NE(failure.Description().find(L"DravikVT.txt"), Text::npos);
        EXPECT_NE(failure.Description().find(L"No such file"), Text::npos);
    }
}

TEST_F(PosixFiles, CroatianLettersAreWrittenAndReadInWindows1250) {
    const Text letters = L"\u0160\u0161 \u0106\u0107 \u010C\u010D \u017D\u017E \u0110\u0111";
    platform_->AppendLine(scratch_.Windows(L"Kolacici.txt"), letters);
    platform_->AppendLine(scratch_.Windows(L"KOLACICI.TXT"), L"PC1_ana");

    EXPECT_EQ(ReadBytes(scratch_.Native("Kolacici.txt")),
              "\x8A\x9A \xC6\xE6 \xC8\xE8 \x8E\x9E \xD0\xF0\r\nPC1_ana\r\n");
    EXPECT_EQ(ReadAllLines(*platform_, scratch_.Windows(L"kolacici.txt")),
              (std::vector<Text>{letters, L"PC1_ana"}));
}

TEST_F(PosixFiles, CodePage1252CanBeChosenInstead) {
    EnvironmentOverride westernEurope("DRAVIKVT_CODEPAGE", "1252");
    platform_->AppendLine(scratch_.Windows(L"out.txt"), L"\u0160\u0161\u017D\u017E \u0106\u010D");
    EXPECT_EQ(ReadBytes(scratch_.Native("out.txt")), "\x8A\x9A\x8E\x9E ??\r\n");

    WriteBytes(scratch_.Native("in.txt"), "\xC6\xE6\xD0");
    EXPECT_EQ(ReadAllLines(*platform_, scratch_.Windows(L"in.txt")),
              std::vector<Text>{L"\u00C6\u00E6\u00D0"});
}

TEST_F(PosixFiles, AppendingEndsALastLineLeftWithoutItsEndFirst) {
    WriteBytes(scratch_.Native("Kolacici.txt"), "PC07_ana\t\tx\r\nPC08_iva");
    platform_->AppendLine(scratch_.Windows(L"Kolacici.txt"), L"PC09_eva");
    EXPECT_EQ(ReadBytes(scratch_.Native("Kolacici.txt")),
              "PC07_ana\t\tx\r\nPC08_iva\r\nPC09_eva\r\n");
}

TEST_F(PosixFiles, AppendingToAWriteOnlyFileStillWorks) {
    WriteBytes(scratch_.Native("log.txt"), "a\r\n");
    fs::permissions(scratch_.Path() / "log.txt", fs::perms::owner_write);
    if (::access(scratch_.Native("log.txt").c_str(), R_OK) == 0)
        GTEST_SKIP() << "permissions do not restrict this user";
    platform_->AppendLine(scratch_.Windows(L"log.txt"), L"b");
    fs::permissions(scratch_.Path() / "log.txt", fs::perms::owner_all);
    EXPECT_EQ(ReadBytes(scratch_.Native("log.txt")), "a\r\nb\r\n");
}

TEST_F(PosixFiles, AppendingToAFolderOrIntoAMissingFolderFails) {
    fs::create_directories(scratch_.Path() / "Folder");
    EXPECT_THROW(platform_->AppendLine(scratch_.Windows(L"folder"), L"x"), Failure);
    EXPECT_THROW(platform_->AppendLine(scratch_.Windows(L"Nema\\Kolacici.txt"), L"x"), Failure);
}

// Two launchers meet a full log at once: it moves aside once and whole, and every
// line of both lands in the new log, which begins with the byte-order mark.
TEST_F(PosixFiles, AFullLogMovesAsideOnceWhenTwoWritersMeetIt) {
    const std::string full(kStartLogRotateBytes, 'x');
    WriteBytes(scratch_.Native("DravikVT.log"), full);
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> writers;
    for (char who : {'a', 'b'}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(gate[1]);
            char none;
            int code = ::read(gate[0], &none, 1) == 0 ? 0 : 2; // open when the parent closes it
            try {
                for (int i = 0; i < 50; ++i)
                    platform_->AppendToLog(scratch_.Windows(L"DravikVT.log"), Text(1, who),
                                           kStartLogRotateBytes);
            } catch (...) {
                code = 1;
            }
            ::_exit(code);
        }
        writers.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (pid_t pid : writers) {
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(ReadBytes(scratch_.Native("DravikVT.log.1")), full);
    const std::string log = ReadBytes(scratch_.Native("DravikVT.log")).value_or("");
    ASSERT_EQ(log.rfind("\xEF\xBB\xBF", 0), 0u);
    // Every line of both, whole, in whatever order: sorted, their characters add up.
    std::string body = log.substr(3);
    std::sort(body.begin(), body.end());
    EXPECT_EQ(body, std::string(100, '\n') + std::string(100, '\r') + std::string(50, 'a') +
                        std::string(50, 'b'));
}

} // namespace
} // namespace dravik
