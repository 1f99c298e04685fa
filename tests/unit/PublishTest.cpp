// DravikPublish's logic against the fake: the order of copies, replacements and
// the emptying of the record file, refusals, failures half-way, files in use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <regex>

#include "publish/PublishCommand.h"
#include "tests/fake/FakePlatform.h"

namespace dravik::publish {
namespace {

const Text kNew = L"C:\\Novo";
const Text kServer = L"\\\\srv\\dist";

struct PublishTest : ::testing::Test {
    FakePlatform platform;
    std::vector<Text> lines;    // standard output
    std::vector<Text> problems; // standard error
    int pauses = 0;
    std::function<void(int)> onPause; // what happens in the world while the tool waits

    PublishTest() {
        platform.AddFolder(kNew);
        platform.AddFolder(kServer);
        platform.duringSleep = [this] {
            ++pauses;
            if (onPause)
                onPause(pauses);
        };
    }

    PublishOutput Output() {
        return {[this](const Text &line) { lines.push_back(line); },
                [this](const Text &line) { problems.push_back(line); }};
    }
    ExitCode Publish(const std::vector<Text> &arguments = {kNew, kServer}) {
        return RunPublishCommand(platform, arguments, Output());
    }

    void NewVersion() {
        platform.PutFile(kNew + L"\\uxVTade.ade", "FE v2");
        platform.PutFile(kNew + L"\\RuxVT1.ade", "rux ade v2");
        platform.PutFile(kNew + L"\\RuxVT2.accde", "rux accde v2");
        platform.PutFile(kNew + L"\\Velkor_2007.exe", "companion v2");
        platform.PutFile(kNew + L"\\Kolacici.txt", "a record file from elsewhere");
    }
    // Every file of the new version changed, as `v` says.
    void ChangeNewVersion(const std::string &v) {
        for (const char *name : {"uxVTade.ade", "RuxVT1.ade", "RuxVT2.accde", "Velkor_2007.exe"})
            platform.PutFile(kNew + L"\\" + Text(name, name + std::strlen(name)),
                             std::string(name) + " " + v);
    }
    void OldVersion() {
        platform.PutFile(kServer + L"\\uxVTade.ade", "FE v1");
        platform.PutFile(kServer + L"\\RuxVT1.ade", "rux ade v1");
        platform.PutFile(kServer + L"\\Velkor_2007.exe", "companion v1");
        platform.PutFile(kServer + L"\\Kolacici.txt", kRecord);
    }
    std::string Server(const Text &name) {
        return platform.FileBytes(kServer + L"\\" + name).value_or("<absent>");
    }
    // Each run's id, in its temporary names and its kept folder, as "<id>".
    static Text WithoutRunIds(const Text &text) {
        static const std::wregex id(L"[0-9a-f]{32}-[0-9a-f]+");
        return std::regex_replace(text, id, L"<id>");
    }
    static std::string WithoutRunIds(const std::string &text) {
        static const std::regex id("[0-9a-f]{32}-[0-9a-f]+");
        return std::regex_replace(text, id, "<id>");
    }
    // A file of the one kept folder; "" for the note beside it.
    std::string Kept(const Text &name) {
        const auto folders = platform.FoldersMatching(kServer + L"\\DravikPublish\\Previous-*");
        if (folders.size() != 1)
            return std::to_string(folders.size()) + " kept folders";
        const Text folder = kServer + L"\\DravikPublish\\" + folders.front();
        return platform.FileBytes(name.empty() ? folder + L".txt" : folder + L"\\" + name)
            .value_or("<absent>");
    }
    // What DravikPublish keeps: its own folder's files and folders, run ids as "<id>".
    std::vector<Text> KeptEntries() {
        std::vector<Text> entries;
        for (const Text &name : platform.FileNamesIn(kServer + L"\\DravikPublish"))
            entries.push_back(WithoutRunIds(name));
        for (const Text &name : platform.FoldersMatching(kServer + L"\\DravikPublish\\*"))
            for (const Text &file : platform.FileNamesIn(kServer + L"\\DravikPublish\\" + name))
                entries.push_back(WithoutRunIds(name + L"\\" + file));
        return entries;
    }
    bool NoTemporaryCopies() {
        for (const Text &name : platform.FileNamesIn(kServer))
            if (name.find(L"~DravikPublish~") != Text::npos)
                return false;
        return true;
    }
    // The calls that changed the server folder, in order, without the folder's name.
    std::vector<Text> ServerChanges() {
        std::vector<Text> changes;
        for (Text call : platform.calls) {
            if (call.rfind(L"FindFirstMatch:", 0) == 0 || call.rfind(L"SameBytes:", 0) == 0 ||
                call.rfind(L"ForEachLine:", 0) == 0 || call.rfind(L"FoldersMatching:", 0) == 0 ||
                call.find(kServer) == Text::npos)
                continue;
            for (std::size_t at; (at = call.find(kServer + L"\\")) != Text::npos;)
                call.erase(at, kServer.size() + 1);
            for (std::size_t at; (at = call.find(kNew + L"\\")) != Text::npos;)
                call.erase(at, kNew.size() + 1);
            changes.push_back(WithoutRunIds(call));
        }
        return changes;
    }
    static std::string Ascii(const Text &text) { return std::string(text.begin(), text.end()); }
    // The one line a publish leaves in the record file, checked for its form.
    Text Mark() {
        const std::string bytes = Server(L"Kolacici.txt");
        const Text text(bytes.begin(), bytes.end()); // ASCII
        const Text head = L"\tDravikPublish\t", tail = L"\t8.12.2026. - 9:15:00\r\n";
        EXPECT_EQ(text.substr(0, head.size()), head);
        EXPECT_GT(text.size(), head.size() + 33 + tail.size()); // a run id of 128 bits and more
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), tail.size())), tail);
        return text.substr(0, text.size() - 2);
    }
    static bool Mentions(const std::vector<Text> &said, const Text &piece) {
        return std::any_of(said.begin(), said.end(),
                           [&](const Text &line) { return line.find(piece) != Text::npos; });
    }

    static constexpr const char *kRecord = "PC07_ana\t\t1.12.2026. - 8:00:00\r\n";
};

TEST_F(PublishTest, CopiesEverythingFirstThenRenamesFrontEndFirstThenEmptiesTheRecord) {
    NewVersion();
    OldVersion();
    ASSERT_EQ(Publish(), ExitCode::Published);

    EXPECT_EQ(
        ServerChanges(),
        (std::vector<Text>{
            // one run at a time, before anything changes
            L"MakeFolder:DravikPublish",
            L"TryLockFile:DravikPublish\\Publish.lock",
            L"AppendLine:~DravikPublish~<id>~write-test",
            L"DeleteFileIfPresent:~DravikPublish~<id>~write-test",
            // each copy on the disk before anything is renamed
            L"CopyFileOver:uxVTade.ade>~DravikPublish~<id>~uxVTade.ade",
            L"MakeFileOrdinary:~DravikPublish~<id>~uxVTade.ade",
            L"FlushFile:~DravikPublish~<id>~uxVTade.ade",
            L"CopyFileOver:RuxVT1.ade>~DravikPublish~<id>~RuxVT1.ade",
            L"MakeFileOrdinary:~DravikPublish~<id>~RuxVT1.ade",
            L"FlushFile:~DravikPublish~<id>~RuxVT1.ade",
            L"CopyFileOver:RuxVT2.accde>~DravikPublish~<id>~RuxVT2.accde",
            L"MakeFileOrdinary:~DravikPublish~<id>~RuxVT2.accde",
            L"FlushFile:~DravikPublish~<id>~RuxVT2.accde",
            L"CopyFileOver:Velkor_2007.exe>~DravikPublish~<id>~Velkor_2007.exe",
            L"MakeFileOrdinary:~DravikPublish~<id>~Velkor_2007.exe",
            L"FlushFile:~DravikPublish~<id>~Velkor_2007.exe",
            // what is replaced is kept in the run's own folder, whole, then noted
            L"MakeFolder:DravikPublish\\Previous-<id>",
            L"CopyFileOver:uxVTade.ade>DravikPublish\\Previous-<id>\\~DravikPublish~<id>~uxVTade."
            L"ade",
            L"MakeFileOrdinary:DravikPublish\\Previous-<id>\\~DravikPublish~<id>~uxVTade.ade",
            L"FlushFile:DravikPublish\\Previous-<id>\\~DravikPublish~<id>~uxVTade.ade",
            L"MoveFileOver:DravikPublish\\Previous-<id>\\~DravikPublish~<id>~uxVTade.ade>"
            L"DravikPublish\\Previous-<id>\\uxVTade.ade",
            L"CopyFileOver:RuxVT1.ade>DravikPublish\\Previous-<id>\\~DravikPublish~<id>~RuxVT1.ade",
            L"MakeFileOrdinary:DravikPublish\\Previous-<id>\\~DravikPublish~<id>~RuxVT1.ade",
            L"FlushFile:DravikPublish\\Previous-<id>\\~DravikPublish~<id>~RuxVT1.ade",
            L"MoveFileOver:DravikPublish\\Previous-<id>\\~DravikPublish~<id>~RuxVT1.ade>"
            L"DravikPublish\\Previous-<id>\\RuxVT1.ade",
            L"CopyFileOver:Velkor_2007.exe>DravikPublish\\Previous-<id>\\~DravikPublish~<id>~"
            L"Velkor_2007.exe",
            L"MakeFileOrdinary:DravikPublish\\Previous-<id>\\~DravikPublish~<id>~Velkor_2007.exe",
            L"FlushFile:DravikPublish\\Previous-<id>\\~DravikPublish~<id>~Velkor_2007.exe",
            L"MoveFileOver:DravikPublish\\Previous-<id>\\~DravikPublish~<id>~Velkor_2007.exe>"
            L"DravikPublish\\Previous-<id>\\Velkor_2007.exe",
            L"DeleteFileIfPresent:DravikPublish\\~DravikPublish~<id>~Previous-<id>.txt",
            L"AppendLine:DravikPublish\\~DravikPublish~<id>~Previous-<id>.txt",
            L"AppendLine:DravikPublish\\~DravikPublish~<id>~Previous-<id>.txt",
            L"FlushFile:DravikPublish\\~DravikPublish~<id>~Previous-<id>.txt",
            L"MoveFileOver:DravikPublish\\~DravikPublish~<id>~Previous-<id>.txt>"
            L"DravikPublish\\Previous-<id>.txt",
            // no launcher records itself from the first rename until the mark
            L"HoldRecord:Kolacici.txt",
            L"MoveFileOver:~DravikPublish~<id>~uxVTade.ade>uxVTade.ade",
            L"MoveFileOver:~DravikPublish~<id>~RuxVT1.ade>RuxVT1.ade",
            L"MoveFileOver:~DravikPublish~<id>~RuxVT2.accde>RuxVT2.accde",
            L"MoveFileOver:~DravikPublish~<id>~Velkor_2007.exe>Velkor_2007.exe",
            // the one commit: the publication names the kept folder
            L"DeleteFileIfPresent:DravikPublish\\~DravikPublish~<id>~Published.txt",
            L"AppendLine:DravikPublish\\~DravikPublish~<id>~Published.txt",
            L"AppendLine:DravikPublish\\~DravikPublish~<id>~Published.txt",
            L"AppendLine:DravikPublish\\~DravikPublish~<id>~Published.txt",
            L"AppendLine:DravikPublish\\~DravikPublish~<id>~Published.txt",
            L"AppendLine:DravikPublish\\~DravikPublish~<id>~Published.txt",
            L"FlushFile:DravikPublish\\~DravikPublish~<id>~Published.txt",
            L"MoveFileOver:DravikPublish\\~DravikPublish~<id>~Published.txt>"
            L"DravikPublish\\Published.txt",
            L"CopyHeldRecord:Kolacici.txt>DravikPublish\\Previous-<id>\\Kolacici.txt",
            L"CutHeldRecord:Kolacici.txt",
            L"WriteHeldRecord:Kolacici.txt:" + WithoutRunIds(Mark()),
            L"FlushHeldRecord:Kolacici.txt",
        }));
    EXPECT_EQ(WithoutRunIds(Server(L"DravikPublish\\Published.txt")),
              "Published\t8.12.2026. - 9:15:00\r\nPrevious\t\r\nKept\tPrevious-<id>\r\n"
              "Added\tRuxVT2.accde\r\nRun\t<id>\r\n");
    EXPECT_EQ(
        KeptEntries(),
        (std::vector<Text>{L"Previous-<id>.txt", L"Publish.lock", L"Published.txt",
                           L"Previous-<id>\\Kolacici.txt", L"Previous-<id>\\RuxVT1.ade",
                           L"Previous-<id>\\uxVTade.ade", L"Previous-<id>\\Velkor_2007.exe"}));
    EXPECT_EQ(Kept(L"Kolacici.txt"), kRecord);
    EXPECT_EQ(Kept(L""), "Against\tnone\r\nAdded\tRuxVT2.accde\r\n");
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v2");
    EXPECT_EQ(Server(L"RuxVT1.ade"), "rux ade v2");
    EXPECT_EQ(Server(L"RuxVT2.accde"), "rux accde v2");
    EXPECT_EQ(Server(L"Velkor_2007.exe"), "companion v2");
    EXPECT_EQ(Server(L"Kolacici.txt"), Ascii(Mark() + L"\r\n")); // emptied, still there
    EXPECT_TRUE(NoTemporaryCopies());
    EXPECT_EQ(platform.FileNamesIn(kServer),
              (std::vector<Text>{L"Kolacici.txt", L"RuxVT1.ade", L"RuxVT2.accde", L"uxVTade.ade",
                                 L"Velkor_2007.exe"}));

    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(lines, (std::vector<Text>{
                         L"Publishing the new version from \"C:\\Novo\" to the server folder "
                         L"\"\\\\srv\\dist\".",
                         L"Front end: uxVTade.ade",
                         L"Kolacici.txt is not published: the server folder keeps its own.",
                         L"Copying 4 files into the server folder under temporary names:",
                         L"  uxVTade.ade",
                         L"  RuxVT1.ade",
                         L"  RuxVT2.accde",
                         L"  Velkor_2007.exe",
                         L"Putting the new files in place:",
                         L"  uxVTade.ade replaced",
                         L"  RuxVT1.ade replaced",
                         L"  RuxVT2.accde added",
                         L"  Velkor_2007.exe replaced",
                         L"Kolacici.txt emptied, but for one line naming this publication: "
                         L"every workstation updates on its next start.",
                         L"Published 4 files.",
                     }));
}

TEST_F(PublishTest, AnAbsentRecordFileStaysAbsentAndLeftoversOfAnEarlierRunGo) {
    NewVersion();
    platform.DeleteFileIfPresent(kNew + L"\\Kolacici.txt"); // in any letter case, never published
    platform.PutFile(kNew + L"\\KOLACICI.TXT", "a record file from elsewhere");
    platform.PutFile(kServer + L"\\staro.accde", "the old front end's name");
    platform.PutFile(kServer + L"\\~DravikPublish~RuxVT1.ade", "half of a copy");
    platform.PutFile(kServer + L"\\DravikPublish\\Previous-0\\uxVTade.ade", "kept, never noted");
    // As Windows splits "C:\Novo\" "\\srv\dist\": the last backslash escapes the quote.
    ASSERT_EQ(Publish({kNew + L"\\\"", kServer + L"\\\""}), ExitCode::Published);
    EXPECT_EQ(Server(L"Kolacici.txt"), "<absent>");
    EXPECT_TRUE(NoTemporaryCopies());
    EXPECT_TRUE(Mentions(lines, L"Removed ~DravikPublish~RuxVT1.ade, left by an earlier run"));
    EXPECT_EQ(KeptEntries(),
              (std::vector<Text>{L"Previous-<id>.txt", L"Publish.lock", L"Published.txt"}));
    EXPECT_TRUE(Mentions(lines, L"Kolacici.txt is not in the server folder"));
    // A new front end's name needs NewFE changed on the workstations too.
    EXPECT_TRUE(Mentions(lines, L"Note: the server folder holds staro.accde, not uxVTade.ade."));

    // A record a launcher makes after the first rename is emptied, and kept, all the same.
    platform.PutFile(kNew + L"\\uxVTade.ade", "FE v3");
    platform.FailCall(FakeCall::MoveFileOver, 3, kFakeSharingViolation,
                      FailureKind::SharingViolation);
    onPause = [this](int) {
        platform.AppendLine(kServer + L"\\Kolacici.txt", L"PC07_ana\t\t1.12.2026. - 8:00:00");
    };
    ASSERT_EQ(Publish(), ExitCode::Published);
    EXPECT_EQ(Server(L"Kolacici.txt"), Ascii(Mark() + L"\r\n"));
    EXPECT_EQ(Kept(L"Kolacici.txt"), kRecord);
}

TEST_F(PublishTest, LargeFilesGetAProgressLineAtEveryTenth) {
    platform.PutFile(kNew + L"\\uxVTade.ade", std::string(1024 * 1024, 'f'));
    platform.PutFile(kNew + L"\\RuxVT1.ade", std::string(200 * 1024, 'r'));
    PublishSettings settings;
    settings.newVersionFolder = kNew;
    settings.serverFolder = kServer;
    settings.largeFileBytes = 256 * 1024;
    ASSERT_EQ(Publisher(platform, settings, Output()).Run(), ExitCode::Published);
    const auto first = std::find(lines.begin(), lines.end(), L"  uxVTade.ade");
    ASSERT_NE(first, lines.end());
    std::vector<Text> expected{L"  uxVTade.ade"};
    for (int percent = 10; percent <= 100; percent += 10)
        expected.push_back(L"    " + std::to_wstring(percent) + L"% of 1.0 MB");
    expected.push_back(L"  RuxVT1.ade"); // small: no progress
    expected.push_back(L"Putting the new files in place:");
    EXPECT_EQ(std::vector<Text>(first, first + static_cast<std::ptrdiff_t>(expected.size())),
              expected);
}

// ---- Status and rollback ------------------------------------------------------------------------

TEST_F(PublishTest, StatusShowsWhoTookTheVersionAndWhoTookOnlyThePreviousOne) {
    NewVersion();
    OldVersion();
    // Marks of earlier publishes, in the record and in the kept one, are no pairs.
    platform.PutFile(kServer + L"\\Kolacici.txt", "\tDravikPublish\t0a-1\t1.12.2026. - 7:00:00\r\n"
                                                  "PC07_ana\t\t1.12.2026. - 8:00:00\r\n"
                                                  "PC08_iva\t\t12/1/2026 - 8:01:00 AM\r\n"
                                                  "PC09_eva\t\t1.12.2026. - 8:02:00\r\n"
                                                  "stari unos\r\n");
    ASSERT_EQ(Publish(), ExitCode::Published);
    // A key with a tab counts as a launcher reads it; one with spaces and no tab does not.
    platform.PutFile(kServer + L"\\Kolacici.txt", Ascii(Mark()) +
                                                      "\r\n"
                                                      "PC08_iva\t\t12/9/2026 - 9:20:00 AM\r\n"
                                                      "PC09_eva \tvratila ru\xE8no\r\n"
                                                      "PC10_ivo\t\t9.12.2026. - 9:30:00\r\n"
                                                      "\r\n"
                                                      "PC08_iva\t\t12/9/2026 - 9:25:00 AM\r\n"
                                                      "  PC07_ana\r\n");
    lines.clear();
    EXPECT_EQ(Publish({L"--status", kServer}), ExitCode::StillToUpdate);
    EXPECT_EQ(lines,
              (std::vector<Text>{
                  L"The version in \"\\\\srv\\dist\" was published 8.12.2026. - 9:15:00.",
                  L"Taken by 2 pairs (each date in that workstation's own format):",
                  L"  PC08_iva\t12/9/2026 - 9:20:00 AM\t(2 lines)",
                  L"  PC10_ivo\t9.12.2026. - 9:30:00",
                  L"Written by hand in Kolacici.txt (2 lines, not in the form DravikVT writes):",
                  L"  \"PC09_eva \tvratila ručno\"",
                  L"  \"  PC07_ana\"",
                  L"Took the previous version but not yet this one: 1 pair:",
                  L"  PC07_ana\t(took the previous version 1.12.2026. - 8:00:00)",
                  L"Written by hand in the previous version's record (1 line, not in the form "
                  L"DravikVT writes):",
                  L"  \"stari unos\"",
                  L"Still to update: 1 pair.",
              }));
    platform.AppendLine(kServer + L"\\Kolacici.txt", L"PC07_ana\t\t9.12.2026. - 9:40:00");
    lines.clear();
    EXPECT_EQ(Publish({L"--status", kServer}), ExitCode::Published);
    EXPECT_EQ(lines.back(), L"Every known pair has taken this version.");
    EXPECT_EQ(Publish({L"--status", L"\\\\srv\\nema"}), ExitCode::ServerRefused);
}

TEST_F(PublishTest, ARollbackPutsBackWhatThePublishReplacedAsAPublishDoesAndOnlyOnce) {
    NewVersion();
    OldVersion();
    EXPECT_EQ(Publish({L"--rollback", kServer}), ExitCode::NothingToRollBack);
    EXPECT_TRUE(Mentions(problems, L"Nothing to roll back to"));
    EXPECT_EQ(ServerChanges(), (std::vector<Text>{L"MakeFolder:DravikPublish",
                                                  L"TryLockFile:DravikPublish\\Publish.lock"}));
    std::map<Text, std::string> before;
    for (const Text &name : platform.FileNamesIn(kServer))
        before[name] = name == L"Kolacici.txt" ? "\tDravikPublish\t" : Server(name);
    ASSERT_EQ(Publish(), ExitCode::Published);

    platform.calls.clear();
    lines.clear();
    platform.LockFile(kServer + L"\\RuxVT2.accde"); // a workstation copying the added file
    onPause = [this](int) { platform.UnlockFile(kServer + L"\\RuxVT2.accde"); };
    EXPECT_EQ(Publish({L"--rollback", kServer}), ExitCode::Published);
    std::map<Text, std::string> after;
    for (const Text &name : platform.FileNamesIn(kServer))
        after[name] = name == L"Kolacici.txt" ? Ascii(Mark().substr(0, 15)) : Server(name);
    EXPECT_EQ(after, before);
    const std::vector<Text> changes = ServerChanges();
    const auto put = std::find(changes.begin(), changes.end(),
                               L"MoveFileOver:~DravikPublish~<id>~uxVTade.ade>uxVTade.ade");
    EXPECT_EQ(
        std::vector<Text>(put, put + 6),
        (std::vector<Text>{L"MoveFileOver:~DravikPublish~<id>~uxVTade.ade>uxVTade.ade",
                           L"MoveFileOver:~DravikPublish~<id>~RuxVT1.ade>RuxVT1.ade",
                           L"MoveFileOver:~DravikPublish~<id>~Velkor_2007.exe>Velkor_2007.exe",
                           L"DeleteFileIfPresent:RuxVT2.accde", // in use: tried again
                           L"DeleteFileIfPresent:RuxVT2.accde", L"CutHeldRecord:Kolacici.txt"}));
    EXPECT_TRUE(Mentions(lines, L"  RuxVT2.accde is in use on the server; trying again"));
    EXPECT_EQ(lines.back(), L"Rolled back: 3 files put back, 1 file removed.");
    EXPECT_TRUE(NoTemporaryCopies());

    platform.PutFile(kServer + L"\\Kolacici.txt", kRecord);
    problems.clear();
    EXPECT_EQ(Publish({L"--rollback", kServer}), ExitCode::NothingToRollBack);
    EXPECT_TRUE(Mentions(problems, L"Nothing to roll back to"));
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v1");
    EXPECT_EQ(Server(L"Kolacici.txt"), kRecord);
}

// ---- Refusals: nothing in the server folder changes ------------------------------------------

TEST_F(PublishTest, RefusesANewVersionWithoutExactlyOneFrontEnd) {
    OldVersion();
    platform.PutFile(kNew + L"\\RuxVT1.ade", "a report file is no front end");
    platform.PutFile(kNew + L"\\Velkor_2007.exe", "companion v2");
    EXPECT_EQ(Publish(), ExitCode::SourceRefused);
    EXPECT_TRUE(Mentions(problems, L"Refused: there is no front end in \"C:\\Novo\"."));

    platform.PutFile(kNew + L"\\uxVTade.ade", "FE v2");
    platform.PutFile(kNew + L"\\uxVTade_stari.mde", "FE v0");
    problems.clear();
    EXPECT_EQ(Publish(), ExitCode::SourceRefused);
    EXPECT_TRUE(Mentions(problems, L"more than one front end in \"C:\\Novo\" (uxVTade.ade, "
                                   L"uxVTade_stari.mde)"));

    problems.clear();
    EXPECT_EQ(Publish({L"C:\\Nema", kServer}), ExitCode::SourceRefused);
    EXPECT_TRUE(Mentions(problems, L"\"C:\\Nema\" holds no files"));

    EXPECT_TRUE(ServerChanges().empty());
    EXPECT_EQ(Server(L"Kolacici.txt"), kRecord);
}

TEST_F(PublishTest, RefusesAServerFolderItCannotWriteAndTheServerFolderAsTheNewVersion) {
    NewVersion();
    EXPECT_EQ(Publish({kNew, L"\\\\srv\\nema"}), ExitCode::ServerRefused);
    EXPECT_TRUE(Mentions(problems, L"Refused: cannot write to the server folder \"\\\\srv\\nema\": "
                                   L"The system cannot find the path specified. Publishing needs "
                                   L"the right to create, replace and delete files there."));
    EXPECT_EQ(platform.copies.size(), 0u);

    // Another run holds the server folder: about 2 s for it to end, then nothing changes.
    platform.HoldLockElsewhere(kServer + L"\\DravikPublish\\Publish.lock", -1);
    for (const std::vector<Text> &arguments :
         {std::vector<Text>{kNew, kServer}, std::vector<Text>{L"--rollback", kServer}}) {
        problems.clear();
        platform.sleptMilliseconds = 0;
        EXPECT_EQ(Publish(arguments), ExitCode::AnotherRun);
        EXPECT_EQ(platform.sleptMilliseconds, 2000);
        EXPECT_EQ(problems,
                  (std::vector<Text>{
                      L"Another DravikPublish is working on this server folder, or one stopped on "
                      L"a computer that lost the network (the server lets go of it within "
                      L"minutes; the server's Open Files list shows who holds "
                      L"\\\\srv\\dist\\DravikPublish\\Publish.lock)"}));
    }
    EXPECT_EQ(platform.FileNamesIn(kServer), std::vector<Text>{});
    platform.HoldLockElsewhere(kServer + L"\\DravikPublish\\Publish.lock", 0);

    OldVersion();
    problems.clear();
    EXPECT_EQ(Publish({kServer + L"\\", kServer}), ExitCode::SourceRefused);
    EXPECT_TRUE(Mentions(problems, L"is the server folder itself"));
    EXPECT_EQ(platform.copies.size(), 0u);
    EXPECT_TRUE(NoTemporaryCopies());
    EXPECT_EQ(Server(L"Kolacici.txt"), kRecord);
}

// A folder stops every launcher and a link leads elsewhere: neither is emptied.
TEST_F(PublishTest, RefusesAFolderOrALinkAsTheRecordFileBeforeAnythingChanges) {
    NewVersion();
    OldVersion();
    platform.DeleteFileIfPresent(kServer + L"\\Kolacici.txt");
    platform.AddFolder(kServer + L"\\Kolacici.txt");
    platform.calls.clear();
    EXPECT_EQ(Publish(), ExitCode::ServerRefused);
    EXPECT_TRUE(
        Mentions(problems, L"Refused: \"\\\\srv\\dist\\Kolacici.txt\" is a folder, not a file"));
    EXPECT_EQ(Publish({L"--status", kServer}), ExitCode::ServerRefused);
    EXPECT_TRUE(Mentions(problems, L"is a folder, not a file: no launcher can record itself"));
    platform.PutLink(kServer + L"\\Kolacici.txt");
    problems.clear();
    EXPECT_EQ(Publish({L"--rollback", kServer}), ExitCode::NothingToRollBack);
    EXPECT_EQ(Publish(), ExitCode::ServerRefused);
    EXPECT_TRUE(Mentions(problems, L"Kolacici.txt\" is a link (a symbolic link, or on Windows a "
                                   L"reparse point), not a file"));
    for (const Text &change : ServerChanges()) // at most the run's lock was taken
        EXPECT_TRUE(change == L"MakeFolder:DravikPublish" ||
                    change == L"TryLockFile:DravikPublish\\Publish.lock")
            << std::string(change.begin(), change.end());
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v1");
}

TEST_F(PublishTest, AWrongCommandLineShowsTheUsage) {
    NewVersion();
    for (const std::vector<Text> &arguments :
         std::vector<std::vector<Text>>{{},
                                        {kNew},
                                        {kNew, kServer, L"C:\\treci"},
                                        {kNew, L""},
                                        {L"--wait", kNew, kServer},
                                        {L"--wait", L"-1", kNew, kServer},
                                        {kNew, kServer, L"--wait"},
                                        {L"--rollback", kNew, kServer},
                                        {L"--status", L"--rollback", kServer}}) {
        problems.clear();
        EXPECT_EQ(Publish(arguments), ExitCode::Usage);
        EXPECT_TRUE(Mentions(problems, L"Usage: DravikPublish [--wait SECONDS] <folder with the "
                                       L"new version> <server folder>"));
    }
    EXPECT_TRUE(ServerChanges().empty());
}

// ---- Failures half-way
// ---------------------------------------------------------------------------

TEST_F(PublishTest, AFailedCopyLeavesTheServerFolderAsItWas) {
    NewVersion();
    OldVersion();
    platform.FailCall(FakeCall::CopyFileOver, 3,
                      L"The specified network name is no longer available.");
    EXPECT_EQ(Publish(), ExitCode::ServerUnchanged);
    EXPECT_EQ(problems,
              (std::vector<Text>{L"Failed: cannot copy RuxVT2.accde: The specified "
                                 L"network name is no longer available.",
                                 L"The server folder is as it was; nothing was replaced."}));
    EXPECT_TRUE(NoTemporaryCopies()); // the half-written one too
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v1");
    EXPECT_EQ(Server(L"RuxVT1.ade"), "rux ade v1");
    EXPECT_EQ(Server(L"RuxVT2.accde"), "<absent>");
    EXPECT_EQ(Server(L"Kolacici.txt"), kRecord);
}

TEST_F(PublishTest, AReplacementThatFailsHalfWayKeepsTheNewFilesAndARerunFinishes) {
    NewVersion();
    OldVersion();
    // Three kept copies and the note are renamed into place before the server's files.
    platform.FailCall(FakeCall::MoveFileOver, 4 + 3, L"Access is denied.");
    EXPECT_EQ(Publish(), ExitCode::PartlyPublished);
    EXPECT_EQ(problems,
              (std::vector<Text>{L"Failed: cannot put RuxVT2.accde in place: Access is denied.",
                                 L"Already new: uxVTade.ade, RuxVT1.ade. Still old: RuxVT2.accde, "
                                 L"Velkor_2007.exe. Kolacici.txt was not emptied. Run "
                                 L"DravikPublish again to finish."}));
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v2");
    EXPECT_EQ(Server(L"RuxVT2.accde"), "<absent>");
    EXPECT_EQ(Server(L"Velkor_2007.exe"), "companion v1");
    EXPECT_TRUE(NoTemporaryCopies());
    EXPECT_EQ(pauses, 0); // not a file in use: no waiting

    // The rerun takes over what the stopped run kept, and renames only what is still old.
    problems.clear();
    platform.calls.clear();
    EXPECT_EQ(Publish(), ExitCode::Published);
    EXPECT_TRUE(problems.empty());
    const std::vector<Text> changes = ServerChanges();
    EXPECT_EQ(std::count_if(changes.begin(), changes.end(),
                            [](const Text &call) {
                                return call.rfind(L"MoveFileOver:~DravikPublish~", 0) == 0;
                            }),
              2);
    EXPECT_EQ(Server(L"Velkor_2007.exe"), "companion v2");
    EXPECT_EQ(Server(L"Kolacici.txt"), Ascii(Mark() + L"\r\n"));
    EXPECT_EQ(KeptEntries().size(), 7u); // one kept folder of three files, its record and note
}

TEST_F(PublishTest, WhenTheFirstReplacementFailsNothingChanged) {
    NewVersion();
    OldVersion();
    const Text noteless = kServer + L"\\DravikPublish\\Previous-0\\uxVTade.ade";
    platform.PutFile(noteless, "kept by a run stopped before its note");
    platform.FailCall(FakeCall::MoveFileOver, 4 + 1, L"Access is denied.");
    EXPECT_EQ(Publish(), ExitCode::ServerUnchanged);
    EXPECT_TRUE(Mentions(problems, L"The server folder is as it was; nothing was replaced."));
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v1");
    EXPECT_EQ(Server(L"RuxVT1.ade"), "rux ade v1");
    EXPECT_TRUE(NoTemporaryCopies());
    EXPECT_FALSE(platform.HasFile(noteless)); // a folder left without its note goes
}

// When what it replaced cannot be written down, the files are in place and the record
// emptied all the same; the tool ends with 10, and no rollback ever takes that
// unnamed kept version.
TEST_F(PublishTest, APublicationThatCannotBeWrittenDownEndsWithTen) {
    NewVersion();
    OldVersion();
    platform.FailCall(FakeCall::AppendLine, 4, L"The disk is full."); // Published.txt's first line
    EXPECT_EQ(Publish(), ExitCode::NotKept);
    EXPECT_TRUE(Mentions(problems,
                         L"Cannot write down when it published in "
                         L"\"\\\\srv\\dist\\DravikPublish\": The disk is full. The "
                         L"files are in place; --status and --rollback may not know it."));
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v2");
    EXPECT_EQ(Server(L"Kolacici.txt"), Ascii(Mark() + L"\r\n"));
    EXPECT_EQ(Publish({L"--rollback", kServer}), ExitCode::NothingToRollBack);
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v2");
}

TEST_F(PublishTest, ARecordFileThatCannotBeEmptiedIsReportedAfterEveryFileIsNew) {
    NewVersion();
    OldVersion();
    platform.FailCall(FakeCall::CopyHeldRecord, 1, L"Access is denied.");
    EXPECT_EQ(Publish(), ExitCode::RecordNotEmptied);
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v2");
    EXPECT_EQ(Server(L"Velkor_2007.exe"), "companion v2");
    EXPECT_EQ(Server(L"Kolacici.txt"), kRecord);
    EXPECT_TRUE(Mentions(problems,
                         L"Failed: every file is in place, but Kolacici.txt cannot be "
                         L"emptied: cannot keep it as \\\\srv\\dist\\DravikPublish\\Previous-"));
    EXPECT_TRUE(Mentions(problems, L"\\Kolacici.txt: Access is denied. Run DravikPublish again, or "
                                   L"empty Kolacici.txt yourself (do not delete it)."));
}

// A file the last publish left alone is not put back by a rollback, even when an
// older publish had replaced it.
TEST_F(PublishTest, OnlyTheLastPublishIsRolledBackNeverAnOlderKeptVersion) {
    OldVersion();
    platform.PutFile(kServer + L"\\X.exe", "X v0");
    NewVersion();
    platform.PutFile(kNew + L"\\X.exe", "X v1");
    ASSERT_EQ(Publish(), ExitCode::Published);
    platform.DeleteFileIfPresent(kNew + L"\\X.exe");
    ChangeNewVersion("v2");
    ASSERT_EQ(Publish(), ExitCode::Published);
    EXPECT_EQ(KeptEntries().size(), 8u); // the older kept version is gone
    EXPECT_EQ(Publish({L"--rollback", kServer}), ExitCode::Published);
    EXPECT_EQ(Server(L"X.exe"), "X v1");
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v2");
}

// ---- Files that workstations hold open ----------------------------------------------------------

TEST_F(PublishTest, AFileInUseIsWaitedForAndReplacedOnceItIsFree) {
    NewVersion();
    OldVersion();
    platform.LockFile(kServer + L"\\RuxVT1.ade");
    platform.LockFile(kServer + L"\\Kolacici.txt");
    onPause = [this](int pause) {
        if (pause == 3)
            platform.UnlockFile(kServer + L"\\RuxVT1.ade");
        if (pause == 5)
            platform.UnlockFile(kServer + L"\\Kolacici.txt");
    };
    EXPECT_EQ(Publish(), ExitCode::Published);
    EXPECT_EQ(pauses, 5);
    EXPECT_EQ(Server(L"RuxVT1.ade"), "rux ade v2");
    EXPECT_EQ(Server(L"Kolacici.txt"), Ascii(Mark() + L"\r\n"));
    EXPECT_TRUE(
        Mentions(lines, L"  RuxVT1.ade is in use on the server; trying again for up to 60 s"));
    EXPECT_TRUE(Mentions(lines, L"  Kolacici.txt is in use on the server; trying again"));
    EXPECT_TRUE(problems.empty());
}

TEST_F(PublishTest, AFileInUseForTheWholeWaitFailsClearly) {
    NewVersion();
    OldVersion();
    platform.LockFile(kServer + L"\\uxVTade.ade");
    EXPECT_EQ(Publish({L"--wait", L"1", kNew, kServer}), ExitCode::ServerUnchanged);
    EXPECT_EQ(pauses, 4); // a quarter of a second each
    EXPECT_TRUE(Mentions(problems, L"Failed: cannot keep uxVTade.ade for a rollback in "
                                   L"\"\\\\srv\\dist\\DravikPublish\": The process cannot "
                                   L"access the file because it is being used by another "
                                   L"process. Still in use after 1 s."));
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v1");
    EXPECT_TRUE(NoTemporaryCopies());

    // The record held throughout: nothing is renamed without it.
    platform.UnlockFile(kServer + L"\\uxVTade.ade");
    platform.LockFile(kServer + L"\\Kolacici.txt");
    pauses = 0;
    EXPECT_EQ(Publish({L"--wait", L"0", kNew, kServer}), ExitCode::ServerUnchanged);
    EXPECT_EQ(pauses, 0);
    EXPECT_EQ(Server(L"uxVTade.ade"), "FE v1");
}

// Launchers wait for the held record up to 120 s: while the first rename waits, a
// publish lets it go; after that rename it holds it 90 s at most, whatever --wait
// says, then stops and lets go.
TEST_F(PublishTest, TheRecordIsLetGoWhileTheFirstRenameWaitsAndHeldNinetySecondsAfterIt) {
    NewVersion();
    OldVersion();
    // The kept version's three files and its note are renamed first.
    platform.FailCall(FakeCall::MoveFileOver, 4 + 1, kFakeSharingViolation,
                      FailureKind::SharingViolation);
    onPause = [this](int pause) {
        if (pause == 1) // a launcher appends meanwhile
            platform.AppendLine(kServer + L"\\Kolacici.txt", L"PC08_iva");
    };
    platform.LockFile(kServer + L"\\RuxVT2.accde"); // the third rename is refused
    EXPECT_EQ(Publish({L"--wait", L"600", kNew, kServer}), ExitCode::PartlyPublished);
    EXPECT_GE(platform.clockMs, 250 + 89000);
    EXPECT_LE(platform.clockMs, 250 + 90000);
    EXPECT_TRUE(Mentions(problems, L"Still in use when Kolacici.txt had been held 90 s"));
    EXPECT_TRUE(Mentions(problems, L"Already new: uxVTade.ade, RuxVT1.ade."));
    EXPECT_EQ(Server(L"Kolacici.txt"), kRecord + std::string("PC08_iva\r\n"));
    platform.AppendLine(kServer + L"\\Kolacici.txt", L"PC09_eva"); // let go
}

} // namespace
} // namespace dravik::publish
