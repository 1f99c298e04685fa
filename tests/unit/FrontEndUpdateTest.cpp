#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <utility>

#include "launcher/SafeCopy.h"
#include "platform/common/CaseMapping.h"
#include "platform/common/PublicationMark.h"
#include "tests/unit/Scene.h"

namespace dravik::test {
namespace {

struct FrontEndUpdateTest : ::testing::Test, Scene {
    void Prepare(const Text &frontEnd = L"uxVTade.ade") {
        StandardConfig(frontEnd);
        Load();
        form.Create();
    }
};

TEST_F(FrontEndUpdateTest, CopiesEverythingRecordsAndClearsTheStatus) {
    ServerFiles();
    LocalFiles();
    Prepare();
    form.UzmiFE_and_Rux();

    EXPECT_EQ(Local(L"uxVTade.ade"), "FE v2");
    EXPECT_EQ(Local(L"RuxVT1.ade"), "reports ade v2"); // replaced
    EXPECT_EQ(Local(L"RuxVT2.accde"), "reports accde v2");
    EXPECT_EQ(Local(L"Velkor_2007.exe"), "companion v2");
    EXPECT_EQ(RecordBytes(), "PC07_ana\t\t8.12.2026. - 9:15:00\r\n");
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(NoTemporaryCopies());
    // Each copy is on the disk before it takes its name.
    std::set<Text> flushed;
    for (const Text &call : platform.calls) {
        if (call.rfind(L"FlushFile:", 0) == 0)
            flushed.insert(call.substr(10));
        if (call.rfind(L"MoveFileOver:", 0) == 0) {
            EXPECT_EQ(flushed.count(call.substr(13, call.find(L'>') - 13)), 1u) << call;
        }
    }
    EXPECT_EQ(flushed.size(), 4u);

    // The window showed the status while copying, then a blank label, still visible.
    EXPECT_TRUE(platform.windowVisible);
    ASSERT_GE(platform.labelHistory.size(), 2u);
    EXPECT_EQ(platform.labelHistory.front(), L"Kopiranje nove verzije programa...");
    EXPECT_EQ(platform.controlText[Control::Label1], L"");
    EXPECT_EQ(platform.repaints, 1);
    // The window answered the system all through the copies, showing the status,
    // and each copy's progress, taken away at the end.
    EXPECT_EQ(platform.labelWhenAnswering,
              std::vector<Text>(4 * 2, L"Kopiranje nove verzije programa..."));
    EXPECT_EQ(platform.progressShown, (std::vector<Text>{L"0/5", L"5/5", L"0/14", L"14/14", L"0/16",
                                                         L"16/16", L"0/12", L"12/12", L"-"}));
    EXPECT_DOUBLE_EQ(platform.windowLeft, 19200 / 2.0 - 5115 / 2.0);
    EXPECT_DOUBLE_EQ(platform.windowTop, 10800 / 2.0 - 2865 / 2.0);
}

TEST_F(FrontEndUpdateTest, ReportSourcesAreLowerCasedAndTargetsKeepTheFoundName) {
    ServerFiles();
    Prepare();
    form.UzmiFE_and_Rux();
    std::vector<Text> sources;
    for (const auto &copy : platform.copies)
        sources.push_back(copy.source);
    ASSERT_EQ(sources.size(), 4u);
    EXPECT_EQ(sources[1], kServer + L"ruxvt1.ade");
    EXPECT_EQ(platform.copies[1].target, TemporaryCopyPath(kProgramFolder + L"\\RuxVT1.ade", 1));
    EXPECT_EQ(sources[2], kServer + L"ruxvt2.accde");
    // The report search runs on the lower-cased pattern and nothing searches in between.
    ASSERT_GE(platform.searches.size(), 3u);
    EXPECT_EQ(platform.searches[1], kServer + L"ruxvt*.*");
    EXPECT_EQ(platform.searches[2], kServer + L"Velkor_2007.exe");
}

TEST_F(FrontEndUpdateTest, NoReportFilesForTheAdeFrontEndWarnsOnceAndGoesOn) {
    platform.PutFile(kServer + L"UXVTADE.ADE", "FE v2");
    platform.PutFile(kServer + L"Velkor_2007.exe", "companion v2");
    Prepare(L"UxVtAdE.aDe");
    form.UzmiFE_and_Rux();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, L"Na serveru ne postoji datoteka sa ispisima!");
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(platform.messages[0].title, Text(L"Upozorenje"));
    EXPECT_EQ(Local(L"Velkor_2007.exe"), "companion v2");
    EXPECT_NE(RecordBytes(), "");
}

// Report files on the server or none: another front end neither takes nor misses them.
TEST_F(FrontEndUpdateTest, AnotherFrontEndTakesNoReportsAndGivesNoWarning) {
    for (bool reportsOnServer : {true, false}) {
        Scene scene;
        scene.ServerFiles(L"other.accde");
        if (!reportsOnServer) {
            scene.platform.DeleteFileIfPresent(kServer + L"RuxVT1.ade");
            scene.platform.DeleteFileIfPresent(kServer + L"RuxVT2.accde");
        }
        scene.StandardConfig(L"other.accde");
        scene.Load();
        scene.form.Create();
        scene.form.UzmiFE_and_Rux();
        EXPECT_EQ(scene.Local(L"other.accde"), "FE v2");
        EXPECT_EQ(scene.Local(L"RuxVT1.ade"), "<absent>");
        EXPECT_TRUE(scene.platform.messages.empty()) << reportsOnServer;
        EXPECT_NE(scene.RecordBytes(), "");
    }
}

TEST_F(FrontEndUpdateTest, AMissingCompanionIsNamedAndTheUpdateIsStillRecorded) {
    ServerFiles();
    platform.DeleteFileIfPresent(kServer + L"Velkor_2007.exe");
    Prepare();
    form.UzmiFE_and_Rux();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, L"U tolmcommonu nedostaje Velkor_2007.exe");
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(platform.messages[0].title, Text(L"Upozorenje"));
    EXPECT_EQ(Local(L"RuxVT2.accde"), "reports accde v2");
    EXPECT_NE(RecordBytes(), "");
}

TEST_F(FrontEndUpdateTest, AFrontEndMissingOnTheServerFailsAndRecordsNothing) {
    ServerFiles();
    platform.DeleteFileIfPresent(kServer + L"uxVTade.ade");
    LocalFiles();
    Prepare();
    EXPECT_THROW(form.UzmiFE_and_Rux(), Failure);
    EXPECT_EQ(Local(L"uxVTade.ade"), "FE v1");
    EXPECT_EQ(Local(L"RuxVT1.ade"), "reports ade v1");
    EXPECT_FALSE(platform.HasFile(kRecordFile));
    EXPECT_TRUE(NoTemporaryCopies());
}

TEST_F(FrontEndUpdateTest, AnEmptyFrontEndNameFailsAtOnce) {
    ServerFiles();
    Prepare(L"");
    EXPECT_THROW(form.UzmiFE_and_Rux(), Failure);
    EXPECT_TRUE(platform.copies.empty());
    EXPECT_FALSE(platform.HasFile(kRecordFile));
}

// A copy that dies half-way, at each copy in turn: what was copied before stays,
// the file being copied keeps its old content, and nothing is recorded.
TEST_F(FrontEndUpdateTest, AnInterruptedCopyNeverLeavesAHalfFile) {
    const std::vector<Text> order = {L"uxVTade.ade", L"RuxVT1.ade", L"RuxVT2.accde",
                                     L"Velkor_2007.exe"};
    for (std::size_t failing = 0; failing < order.size(); ++failing) {
        for (FakeCall call : {FakeCall::CopyToNewFile, FakeCall::MoveFileOver}) {
            Scene scene;
            scene.ReadyToUpdate();
            scene.platform.FailCall(call, static_cast<int>(failing) + 1,
                                    L"The specified network name is no longer available.");
            try {
                scene.form.UzmiFE_and_Rux();
                ADD_FAILURE() << "no failure at copy " << failing;
            } catch (const Failure &f) {
                // The files the user knows, never the temporary copy.
                EXPECT_EQ(f.Cause(), L"The specified network name is no longer available.");
                ASSERT_EQ(f.Paths().size(), 2u);
                EXPECT_EQ(LowerText(f.Paths()[0]), LowerText(kServer + order[failing]));
                EXPECT_EQ(f.Paths()[1], kProgramFolder + L"\\" + order[failing]);
            }
            const char *v2[] = {"FE v2", "reports ade v2", "reports accde v2", "companion v2"};
            const char *v1[] = {"FE v1", "reports ade v1", "reports accde v1", "companion v1"};
            for (std::size_t i = 0; i < order.size(); ++i)
                EXPECT_EQ(scene.Local(order[i]), i < failing ? v2[i] : v1[i])
                    << "copy " << failing << " failing, file " << i;
            EXPECT_FALSE(scene.platform.HasFile(kRecordFile));
            EXPECT_TRUE(scene.NoTemporaryCopies()) << "copy " << failing;
        }
    }
}

// Server files marked read-only, hidden or system, as administrators often mark
// them: copies that kept the marks could never be replaced, or would never be
// found, so the workstation would fail or update on every start.
TEST_F(FrontEndUpdateTest, MarkedServerFilesAreCopiedAsOrdinaryFilesAgainAndAgain) {
    const FileAttributes marks[] = {
        {true, false, false}, {false, true, false}, {false, false, true}, {true, true, true}};
    for (const FileAttributes &mark : marks) {
        Scene scene;
        scene.StandardConfig();
        scene.ServerFiles();
        for (const Text &name : scene.platform.FileNamesIn(kServer))
            scene.platform.PutFile(kServer + name, *scene.platform.FileBytes(kServer + name), mark);
        scene.Load();
        scene.form.Create();
        for (int update = 1; update <= 2; ++update) {
            ASSERT_NO_THROW(scene.form.UzmiFE_and_Rux()) << "update " << update;
            // Hidden report files and companions are not found on the server at all.
            ASSERT_EQ(scene.platform.copies.size(),
                      mark.hidden || mark.system ? update : 4 * update);
            for (const Text &name : scene.platform.FileNamesIn(kProgramFolder)) {
                const Text path = kProgramFolder + L"\\" + name;
                auto attributes = scene.platform.AttributesOf(path);
                EXPECT_FALSE(attributes->readOnly || attributes->hidden || attributes->system);
                EXPECT_EQ(scene.platform.FindFirstMatch(path), name);
            }
        }
    }
}

// While the companion is copied, `publishes` new versions (at most) are put on the
// server, one a pass: the front end and a report file change.
void PublishWhileTheCompanionIsCopied(Scene &scene, int publishes) {
    scene.platform.duringCopy = [&scene, publishes, published = 0](const Text &source) mutable {
        if (source != kServer + L"Velkor_2007.exe" || published == publishes)
            return;
        const std::string version = " v" + std::to_string(3 + published++);
        scene.platform.PutFile(kServer + L"uxVTade.ade", "FE" + version);
        scene.platform.PutFile(kServer + L"RuxVT1.ade", "reports ade" + version);
    };
}

// A server file written while it is copied, longer or only newer, tears the copy; a
// version published again while the one published meanwhile is taken leaves a mix.
// Neither is ever recorded as current, and the failure names the file.
TEST_F(FrontEndUpdateTest, AServerFileThatChangesDuringItsCopyFailsTheUpdate) {
    for (const std::string &changed :
         {std::string("FE v2, growing"), std::string("FE v3"), std::string("published twice")}) {
        Scene scene;
        scene.ReadyToUpdate();
        const bool torn = changed != "published twice";
        if (torn) {
            scene.platform.duringCopy = [&](const Text &source) {
                if (source == kServer + L"uxVTade.ade")
                    scene.platform.PutFile(source, changed);
            };
        } else {
            PublishWhileTheCompanionIsCopied(scene, 2);
        }
        try {
            scene.form.UzmiFE_and_Rux();
            ADD_FAILURE() << "a changing server file was taken: " << changed;
        } catch (const Failure &f) {
            EXPECT_EQ(f.Cause().rfind(L"Datoteka na serveru promijenila se dok se kopirala", 0),
                      0u);
            EXPECT_EQ(f.Paths().front(), kServer + L"uxVTade.ade");
        }
        EXPECT_EQ(scene.Local(L"uxVTade.ade"), torn ? "FE v1" : "FE v3");
        EXPECT_FALSE(scene.platform.HasFile(kRecordFile));
        EXPECT_TRUE(scene.NoTemporaryCopies());
    }
}

// A version published after this launcher took some of its files is taken whole,
// once more, and recorded.
TEST_F(FrontEndUpdateTest, AVersionPublishedMeanwhileIsTakenWholeOrNotRecorded) {
    Scene scene;
    scene.ReadyToUpdate();
    PublishWhileTheCompanionIsCopied(scene, 1);
    scene.form.UzmiFE_and_Rux();
    EXPECT_EQ(scene.Local(L"uxVTade.ade"), "FE v3");
    EXPECT_EQ(scene.Local(L"RuxVT1.ade"), "reports ade v3");
    EXPECT_EQ(scene.RecordBytes(), "PC07_ana\t\t8.12.2026. - 9:15:00\r\n");
    EXPECT_EQ(scene.platform.copies.size(), 8u);
    EXPECT_TRUE(scene.platform.windowVisible);
}

const Text kMark1 = PublicationMarkLine(L"run1", L"1.12.2026. - 8:00:00");
const Text kMark2 = PublicationMarkLine(L"run2", L"8.12.2026. - 9:14:00");

// DravikPublish at work while `during` is copied from the server (with "", while the
// launcher waits for the record that the publish holds): each file of the new version
// renamed over the old one (another file, then), a report file added when `adds`, and
// the record emptied but for the publication's mark.
void PublishWithMark(Scene &scene, const Text &during, bool adds = false) {
    auto publish = [&scene, adds, done = false]() mutable {
        if (std::exchange(done, true))
            return;
        for (const Text name : {L"uxVTade.ade", L"RuxVT1.ade", L"RuxVT2.accde"}) {
            const std::string bytes = *scene.platform.FileBytes(kServer + name);
            scene.platform.DeleteFileIfPresent(kServer + name);
            scene.platform.PutFile(kServer + name, bytes.substr(0, bytes.size() - 1) + "3");
        }
        if (adds)
            scene.platform.PutFile(kServer + L"RuxVT3.ade", "reports 3 v3");
        scene.platform.PutTextFile(kRecordFile, kMark2 + L"\r\n");
    };
    if (during.empty()) {
        scene.platform.HoldFile(kRecordFile, FakeHold::Appender, 5000);
        scene.platform.duringSleep = publish;
        return;
    }
    scene.platform.duringCopy = [&scene, during, publish](const Text &source) mutable {
        if (scene.platform.ToUpper(source) == scene.platform.ToUpper(kServer + during))
            publish();
    };
}

// The record's first line, noted before anything is copied, tells with one read under
// the held record whether a publish was completed meanwhile: the same mark records at
// once, lines after it or not; another mark, or a mark where there was none, takes
// the version again, whole, with no message, a file renamed over during its copy too.
TEST_F(FrontEndUpdateTest, ThePublicationMarkTellsWithOneReadWhetherToTakeTheVersionAgain) {
    struct Case {
        Text record;
        std::optional<Text> publishDuring;
        bool adds;
        std::size_t copies;
    };
    const Text otherLine = L"PC01_iva\t\t1.12.2026. - 8:01:00\r\n";
    for (const Case &c :
         {Case{kMark1 + L"\r\n" + otherLine, std::nullopt, false, 4},
          Case{kMark1 + L"\r\n", L"", false, 8},
          Case{kMark1 + L"\r\n", L"Velkor_2007.exe", false, 8},
          Case{kMark1 + L"\r\n" + otherLine, L"Velkor_2007.exe", true, 9},
          Case{L"", L"RuxVT2.accde", false, 7}, Case{kMark1 + L"\r\n", L"uxVTade.ade", false, 5}}) {
        Scene scene;
        scene.ReadyToUpdate();
        if (!c.record.empty())
            scene.platform.PutTextFile(kRecordFile, c.record);
        if (c.publishDuring)
            PublishWithMark(scene, *c.publishDuring, c.adds);
        scene.form.UzmiFE_and_Rux();
        SCOPED_TRACE(c.publishDuring.value_or(L"-"));
        const bool published = c.publishDuring.has_value();
        EXPECT_EQ(scene.platform.copies.size(), c.copies);
        EXPECT_EQ(scene.Local(L"uxVTade.ade"), published ? "FE v3" : "FE v2");
        EXPECT_EQ(scene.Local(L"RuxVT2.accde"),
                  published ? "reports accde v3" : "reports accde v2");
        EXPECT_EQ(scene.Local(L"RuxVT3.ade"), c.adds ? "reports 3 v3" : "<absent>");
        EXPECT_EQ(scene.RecordBytes(), Utf8(published ? kMark2 + L"\r\n" : c.record) +
                                           "PC07_ana\t\t8.12.2026. - 9:15:00\r\n");
        EXPECT_TRUE(scene.platform.messages.empty());
        // Under the held record only its first line is read, never a server file.
        const auto &calls = scene.platform.calls;
        for (auto it =
                 std::find_if(calls.rbegin(), calls.rend(),
                              [](const Text &call) { return call.rfind(L"AppendLine:", 0) == 0; });
             it != calls.rend() && it != calls.rbegin(); --it)
            EXPECT_EQ(it->find(kServer + L"uxVTade.ade"), Text::npos) << *it;
    }
}

// Taken a second time, a version gives its warnings once: after a check that found a
// taken file gone (with no mark in the record, each file is looked at again), and
// after a copy that a publish renamed over.
TEST_F(FrontEndUpdateTest, AVersionTakenAgainWarnsOnceAndAFileGoneMeanwhileCountsAsChanged) {
    struct Case {
        Text missing, during, change;
        std::size_t copies;
        Text warning;
    };
    for (const Case &c : {Case{L"Velkor_2007.exe", L"ruxvt2.accde", L"gone", 5,
                               L"U tolmcommonu nedostaje Velkor_2007.exe"},
                          Case{L"RuxVT1.ade", L"Velkor_2007.exe", L"renamed over", 4,
                               L"Na serveru ne postoji datoteka sa ispisima!"}}) {
        Scene scene;
        scene.ReadyToUpdate();
        scene.platform.DeleteFileIfPresent(kServer + c.missing);
        if (c.missing == L"RuxVT1.ade")
            scene.platform.DeleteFileIfPresent(kServer + L"RuxVT2.accde");
        scene.platform.duringCopy = [&scene, &c, done = false](const Text &source) mutable {
            if (source != kServer + c.during || std::exchange(done, true))
                return;
            if (c.change == L"gone") {
                scene.platform.DeleteFileIfPresent(kServer + L"RuxVT1.ade");
            } else {
                scene.platform.DeleteFileIfPresent(source);
                scene.platform.PutFile(source, "companion v3");
            }
        };
        scene.form.UzmiFE_and_Rux();
        SCOPED_TRACE(c.change);
        EXPECT_EQ(scene.platform.copies.size(), c.copies);
        ASSERT_EQ(scene.platform.messages.size(), 1u);
        EXPECT_EQ(scene.platform.messages[0].text, c.warning);
        EXPECT_EQ(scene.RecordBytes(), "PC07_ana\t\t8.12.2026. - 9:15:00\r\n");
    }
}

TEST_F(FrontEndUpdateTest, AReadOnlyLocalCopyIsReplaced) {
    ServerFiles();
    LocalFiles();
    platform.PutFile(kProgramFolder + L"\\uxVTade.ade", "FE v1", {true, false, false});
    Prepare();
    form.UzmiFE_and_Rux();
    EXPECT_EQ(Local(L"uxVTade.ade"), "FE v2");
}

// A virus scanner opens a new file at once and refuses the move for a moment.
TEST_F(FrontEndUpdateTest, AMoveRefusedForAMomentIsTriedAgainForAboutTwoSeconds) {
    for (FailureKind kind : {FailureKind::SharingViolation, FailureKind::AccessDenied}) {
        for (int refusals : {3, 1000}) {
            Scene scene;
            scene.ReadyToUpdate(false);
            for (int nth = 1; nth <= refusals; ++nth)
                scene.platform.FailCall(FakeCall::MoveFileOver, nth, L"in use", kind);
            if (refusals == 3) {
                EXPECT_NO_THROW(scene.form.UzmiFE_and_Rux());
                EXPECT_EQ(scene.Local(L"uxVTade.ade"), "FE v2");
                EXPECT_EQ(scene.platform.sleptMilliseconds, 300);
            } else {
                EXPECT_THROW(scene.form.UzmiFE_and_Rux(), Failure);
                EXPECT_EQ(scene.Local(L"uxVTade.ade"), "<absent>");
                EXPECT_EQ(scene.platform.sleptMilliseconds, 2000);
                EXPECT_FALSE(scene.platform.HasFile(kRecordFile));
            }
        }
    }
    // Anything else is no passing matter and fails at once.
    Scene scene;
    scene.ReadyToUpdate(false);
    scene.platform.FailCall(FakeCall::MoveFileOver, 1, L"The disk is full.");
    EXPECT_THROW(scene.form.UzmiFE_and_Rux(), Failure);
    EXPECT_EQ(scene.platform.sleptMilliseconds, 0);
}

TEST_F(FrontEndUpdateTest, AFrontEndHeldOpenLocallyFailsAndKeepsTheOldCopy) {
    ServerFiles();
    LocalFiles();
    platform.LockFile(kProgramFolder + L"\\uxVTade.ade");
    Prepare();
    try {
        form.UzmiFE_and_Rux();
        FAIL();
    } catch (const Failure &f) {
        EXPECT_NE(f.Description().find(L"being used by another process"), Text::npos);
    }
    EXPECT_EQ(Local(L"uxVTade.ade"), "FE v1");
    EXPECT_TRUE(NoTemporaryCopies());
    EXPECT_FALSE(platform.HasFile(kRecordFile));
}

TEST_F(FrontEndUpdateTest, AnUnwritableRecordFileFailsTheUpdate) {
    ServerFiles();
    platform.PutFile(kRecordFile, "");
    platform.HoldFile(kRecordFile, FakeHold::Appender); // read, never appended to
    Prepare();
    EXPECT_THROW(form.UzmiFE_and_Rux(), Failure);
    EXPECT_EQ(Local(L"uxVTade.ade"), "FE v2"); // copied files stay copied
    EXPECT_EQ(platform.clockMs, 120000);
}

} // namespace
} // namespace dravik::test
