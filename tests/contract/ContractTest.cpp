// One set of expectations for every implementation of the platform services:
// the fake the unit tests use and the real platform this binary was built for.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/contract/Harness.h"

namespace dravik::contract {
namespace {

enum class Kind { Fake, System };

// Returns early in a second of the wall clock, so that the next few writes share it.
void WaitForAnEarlyPartOfASecond() {
    using namespace std::chrono;
    const auto intoSecond = system_clock::now().time_since_epoch() % seconds(1);
    if (intoSecond > milliseconds(800))
        std::this_thread::sleep_for(seconds(1) - intoSecond);
}

class ContractTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        harness_ = GetParam() == Kind::Fake ? MakeFakeHarness() : MakeSystemHarness();
    }
    PlatformServices &P() { return harness_->Platform(); }
    Text At(const Text &name) { return harness_->Root() + L"\\" + name; }
    void Put(const Text &name, const std::string &bytes) { harness_->WriteBytes(At(name), bytes); }
    std::set<Text> AllMatches(const Text &pattern) {
        std::set<Text> names;
        for (Text n = P().FindFirstMatch(pattern); !n.empty(); n = P().FindNextMatch())
            names.insert(n);
        return names;
    }

    std::unique_ptr<Harness> harness_;
};

// ---- Search ----------------------------------------------------------------------------------

TEST_P(ContractTest, APlainPathIsAnExistenceTestThatIgnoresCase) {
    Put(L"RuxVT1.ade", "r");
    EXPECT_EQ(P().FindFirstMatch(At(L"ruxvt1.ADE")), L"RuxVT1.ade");
    EXPECT_EQ(P().FindFirstMatch(At(L"absent.ade")), L"");
}

TEST_P(ContractTest, WildcardsFollowTheWindowsRules) {
    Put(L"RuxVT1.ade", "1");
    Put(L"RUXVT2.accde", "2");
    Put(L"RuxVT3", "3");
    Put(L"RuxVT", "0"); // "*" may match nothing, and ".*" a name without a dot
    Put(L"xRuxVT4.ade", "4");
    Put(L"ab.txt", "5");
    Put(L"abc.txt", "6");
    harness_->MakeFolder(At(L"ruxvt9.dir"));
    EXPECT_EQ(AllMatches(At(L"ruxvt*.*")),
              (std::set<Text>{L"RuxVT1.ade", L"RUXVT2.accde", L"RuxVT3", L"RuxVT"}));
    EXPECT_EQ(AllMatches(At(L"ruxvt*.ade")), (std::set<Text>{L"RuxVT1.ade"}));
    EXPECT_EQ(AllMatches(At(L"a?.txt")), (std::set<Text>{L"ab.txt"}));
    EXPECT_EQ(AllMatches(At(L"*.accde")), (std::set<Text>{L"RUXVT2.accde"}));
}

TEST_P(ContractTest, ThereIsOneSearchCursorAndAnExhaustedSearchStaysEmpty) {
    Put(L"a1.txt", "");
    Put(L"a2.txt", "");
    Put(L"b1.txt", "");
    Text first = P().FindFirstMatch(At(L"a*.txt"));
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(P().FindFirstMatch(At(L"b*.txt")), L"b1.txt"); // starts over
    EXPECT_EQ(P().FindNextMatch(), L"");
    EXPECT_EQ(P().FindNextMatch(), L"");
}

TEST_P(ContractTest, SearchingAFolderThatIsNotThereFindsNothing) {
    EXPECT_EQ(P().FindFirstMatch(At(L"missing\\ruxvt*.*")), L"");
    EXPECT_EQ(P().FindNextMatch(), L"");
}

// ---- Reading and appending -------------------------------------------------------------------

TEST_P(ContractTest, ReadingSplitsLinesAtTheirEnds) {
    Put(L"a.txt", "one\r\n\r\nthree\r\nLF only\nlast");
    EXPECT_EQ(ReadAllLines(P(), At(L"a.txt")),
              (std::vector<Text>{L"one", L"", L"three", L"LF only", L"last"}));
    Put(L"empty.txt", "");
    EXPECT_TRUE(ReadAllLines(P(), At(L"empty.txt")).empty());
    Put(L"one.txt", "x\r\n");
    EXPECT_EQ(ReadAllLines(P(), At(L"one.txt")), std::vector<Text>{L"x"});
    // Files are read in chunks: a CR LF split between two of them still ends a line.
    // Of a long line only the start is kept, however long it is, and whether it
    // ends or is the last line left without its end.
    std::string chunked;
    std::vector<Text> expected;
    for (std::size_t boundary : {1u << 16, 1u << 17, 1u << 18, 1u << 20}) {
        const std::size_t length = boundary - 1 - chunked.size();
        chunked += std::string(length, 'k') + "\r\n";
        expected.push_back(Text(kLongestLineKept, L'k'));
    }
    chunked += std::string(kLongestLineKept, 'r') + "\r\nPC01_ivo\r\n" + std::string(5000, 'u');
    expected.insert(expected.end(), {Text(kLongestLineKept, L'r'), L"PC01_ivo", Text(4096, L'u')});
    Put(L"chunked.txt", chunked);
    EXPECT_EQ(ReadAllLines(P(), At(L"chunked.txt")), expected);
    EXPECT_THROW(ReadAllLines(P(), At(L"missing.txt")), Failure);
}

TEST_P(ContractTest, LinesAsStoredAreTheBytesWithoutTheirEnds) {
    const std::string bytes("\xEF\xBB\xBF\x8A\0x\r\n\r\nLF\nlast", 17);
    Put(L"raw.txt", bytes);
    std::vector<std::string> lines;
    P().ForEachLineBytes(At(L"RAW.txt"), [&](const std::string &line) { lines.push_back(line); });
    EXPECT_EQ(lines,
              (std::vector<std::string>{std::string("\xEF\xBB\xBF\x8A\0x", 6), "", "LF", "last"}));
    EXPECT_EQ(P().DecodeAnsi("\x8A\xF0"), L"Šđ");
    EXPECT_THROW(P().ForEachLineBytes(At(L"missing.txt"), [](const std::string &) {}), Failure);
}

TEST_P(ContractTest, TextIsInTheCentralEuropeanCodePage) {
    Put(L"hr.txt", "\x8A"
                   "ifra \x9A\xE6\xE8\x9E\xF0\r\n\x8A"
                   "ifra123\r\n");
    // The second line's one high byte opens a run of eight, read as one block.
    EXPECT_EQ(ReadAllLines(P(), At(L"hr.txt")), (std::vector<Text>{L"Šifra šćčžđ", L"Šifra123"}));
    P().AppendLine(At(L"out.txt"), L"neće Đurđa");
    EXPECT_EQ(harness_->ReadBytes(At(L"out.txt")), std::string("ne\xE6"
                                                               "e \xD0ur\xF0"
                                                               "a\r\n"));
}

TEST_P(ContractTest, AppendingCreatesTheFileAndEndsEachLineWithCrLf) {
    P().AppendLine(At(L"k.txt"), L"first");
    P().AppendLine(At(L"K.TXT"), L"second\t\tx");
    EXPECT_EQ(harness_->ReadBytes(At(L"k.txt")), std::string("first\r\nsecond\t\tx\r\n"));
    EXPECT_THROW(P().AppendLine(At(L"missing\\k.txt"), L"x"), Failure);

    // The question is asked with the first line as it is then, read as lines are read;
    // a no writes nothing.
    Text seen = L"?";
    auto note = [&seen](bool answer) {
        return [&seen, answer](const Text &first) {
            seen = first;
            return answer;
        };
    };
    Put(L"m.txt", "\tDravikPublish\tr1\tx\r\nPC01_ivo\r\n");
    EXPECT_FALSE(P().AppendLineIf(At(L"m.txt"), L"PC02_eva", note(false)));
    EXPECT_EQ(seen, L"\tDravikPublish\tr1\tx");
    EXPECT_EQ(harness_->ReadBytes(At(L"m.txt")),
              std::string("\tDravikPublish\tr1\tx\r\nPC01_ivo\r\n"));
    // Asked while the file is held: an emptying then is refused, and the line goes
    // after what the file held.
    bool emptyingRefused = false;
    EXPECT_TRUE(P().AppendLineIf(At(L"m.txt"), L"PC03_ana", [&](const Text &) {
        emptyingRefused = P().TryHoldRecord(At(L"m.txt")) == nullptr;
        return true;
    }));
    EXPECT_TRUE(emptyingRefused);
    EXPECT_EQ(harness_->ReadBytes(At(L"m.txt")),
              std::string("\tDravikPublish\tr1\tx\r\nPC01_ivo\r\nPC03_ana\r\n"));
    Put(L"e.txt", "");
    EXPECT_TRUE(P().AppendLineIf(At(L"e.txt"), L"PC02_eva", note(true)));
    EXPECT_EQ(seen, L"");
    Put(L"long.txt", std::string(kLongestLineKept + 100, 'x'));
    EXPECT_TRUE(P().AppendLineIf(At(L"long.txt"), L"PC02_eva", note(true)));
    EXPECT_EQ(seen, Text(kLongestLineKept, L'x'));
}

TEST_P(ContractTest, AnAppendedLineNeverJoinsALastLineLeftWithoutItsEnd) {
    Put(L"r.txt", "PC07_ana\t\tx\r\nPC08_iva");
    P().AppendLine(At(L"r.txt"), L"PC09_eva\t\ty");
    EXPECT_EQ(harness_->ReadBytes(At(L"r.txt")),
              std::string("PC07_ana\t\tx\r\nPC08_iva\r\nPC09_eva\t\ty\r\n"));
    Put(L"lf.txt", "PC07_ana\n");
    P().AppendLine(At(L"lf.txt"), L"PC09_eva");
    EXPECT_EQ(harness_->ReadBytes(At(L"lf.txt")), std::string("PC07_ana\nPC09_eva\r\n"));
}

// Another launcher appending, or a program reading that lets others do anything,
// holds the record file for a moment while this one reads or appends.
TEST_P(ContractTest, ReadersKeepNobodyOutAndAnAppenderKeepsOnlyOtherAppendersOut) {
    const std::vector<Text> both{L"PC01_ivo", L"PC02_eva"};
    Put(L"k.txt", "PC01_ivo\r\n");
    {
        auto reader = harness_->Hold(At(L"k.txt"), Holder::SharingReader);
        P().AppendLine(At(L"k.txt"), L"PC02_eva");
        EXPECT_EQ(ReadAllLines(P(), At(L"k.txt")), both);
    }
    auto appender = harness_->Hold(At(L"k.txt"), Holder::Appender);
    EXPECT_EQ(ReadAllLines(P(), At(L"k.txt")), both);
    const std::int64_t start = harness_->ClockMs();
    try {
        P().AppendLine(At(L"k.txt"), L"PC03_ana");
        ADD_FAILURE() << "appended while another appender held the file";
    } catch (const Failure &failure) {
        EXPECT_NE(failure.Description().find(harness_->HeldFileText()), Text::npos)
            << std::string(failure.Description().begin(), failure.Description().end());
    }
    const std::int64_t waited = harness_->ClockMs() - start;
    EXPECT_GE(waited, 1900); // tried again for about two seconds, then given up
    EXPECT_LT(waited, 5000);
    appender.reset();
    EXPECT_EQ(harness_->ReadBytes(At(L"k.txt")), std::string("PC01_ivo\r\nPC02_eva\r\n"));
}

TEST_P(ContractTest, AnAppendWaitsForAnotherAppenderThatLetsGoSoon) {
    Put(L"k.txt", "PC01_ivo"); // left without its line end
    {
        auto appender = harness_->Hold(At(L"k.txt"), Holder::Appender, 300);
        const std::int64_t start = harness_->ClockMs();
        P().AppendLine(At(L"k.txt"), L"PC02_eva");
        EXPECT_GE(harness_->ClockMs() - start, 250); // it was kept out until then
    }
    EXPECT_EQ(harness_->ReadBytes(At(L"k.txt")), std::string("PC01_ivo\r\nPC02_eva\r\n"));
}

// ---- Copying, moving, deleting ----------------------------------------------------------------

TEST_P(ContractTest, CopyingReplacesTheTargetAndFailsOnAMissingSource) {
    harness_->MakeFolder(At(L"server"));
    Put(L"server\\FE.ade", "new");
    Put(L"FE.ade", "old");
    P().CopyFileOver(At(L"server\\fe.ade"), At(L"FE.ade"));
    EXPECT_EQ(harness_->ReadBytes(At(L"FE.ade")), std::string("new"));
    const FileStamp stamp = P().StampOf(At(L"server\\fe.ADE"));
    EXPECT_EQ(stamp.size, 3u);
    EXPECT_EQ(P().StampOf(At(L"server\\FE.ade")), stamp);
    WaitForAnEarlyPartOfASecond();
    Put(L"server\\FE.ade", "newer");
    const FileStamp newer = P().StampOf(At(L"server\\FE.ade"));
    EXPECT_NE(newer, stamp);
    // Rewritten at the same size within the same second, once a coarse file clock has ticked.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Put(L"server\\FE.ade", "NEWER");
    EXPECT_NE(P().StampOf(At(L"server\\FE.ade")), newer);
    EXPECT_THROW(P().StampOf(At(L"none.ade")), Failure);
    EXPECT_THROW(P().CopyFileOver(At(L"server\\none.ade"), At(L"FE.ade")), Failure);
    EXPECT_EQ(harness_->ReadBytes(At(L"FE.ade")), std::string("new"));
    EXPECT_THROW(P().CopyFileOver(At(L"server"), At(L"x.ade")), Failure); // a folder
}

// A publisher renames the new version over the old one: the same size and time
// must not make it look the same.
TEST_P(ContractTest, AFileRenamedOverLooksDifferentEvenWithTheSameSizeAndTime) {
    Put(L"FE.ade", "old");
    Put(L"FE.new", "new");
    harness_->SameWriteTime(At(L"FE.new"), At(L"FE.ade"));
    const FileStamp old = P().StampOf(At(L"FE.ade"));
    const FileStamp incoming = P().StampOf(At(L"FE.new"));
    ASSERT_EQ(incoming.size, old.size);
    ASSERT_EQ(incoming.lastWrite, old.lastWrite);
    P().FlushFile(At(L"FE.new"));
    P().MoveFileOver(At(L"FE.new"), At(L"FE.ade"));
    EXPECT_NE(P().StampOf(At(L"FE.ade")), old);
    EXPECT_THROW(P().FlushFile(At(L"FE.new")), Failure);
}

TEST_P(ContractTest, MovingReplacesTheTargetAndDeletingAnAbsentFileIsFine) {
    Put(L"t.tmp", "complete");
    Put(L"t.ade", "old");
    P().MoveFileOver(At(L"t.tmp"), At(L"t.ade"));
    EXPECT_EQ(harness_->ReadBytes(At(L"t.ade")), std::string("complete"));
    EXPECT_FALSE(harness_->ReadBytes(At(L"t.tmp")).has_value());
    EXPECT_THROW(P().MoveFileOver(At(L"t.tmp"), At(L"t.ade")), Failure);
    EXPECT_NO_THROW(P().DeleteFileIfPresent(At(L"t.tmp")));
    P().DeleteFileIfPresent(At(L"t.ade"));
    EXPECT_FALSE(harness_->ReadBytes(At(L"t.ade")).has_value());
}

TEST_P(ContractTest, ACopyToANewFileNeverOverwritesAndAReadOnlyMarkCanBeCleared) {
    Put(L"src.ade", "v2");
    harness_->SetReadOnly(At(L"src.ade"));
    P().CopyToNewFile(At(L"SRC.ade"), At(L"t.tmp"));
    EXPECT_EQ(harness_->ReadBytes(At(L"t.tmp")), std::string("v2"));
    harness_->SetReadOnly(At(L"t.tmp")); // as Windows copies the mark; Wine does not always
    try {
        P().CopyToNewFile(At(L"src.ade"), At(L"t.tmp"));
        ADD_FAILURE() << "a file that is there was copied over";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.Kind(), FailureKind::AlreadyExists);
    }
    EXPECT_THROW(P().CopyToNewFile(At(L"none.ade"), At(L"u.tmp")), Failure);
    EXPECT_FALSE(harness_->ReadBytes(At(L"u.tmp")).has_value());
    P().MakeFileOrdinary(At(L"T.TMP"));
    EXPECT_FALSE(harness_->IsReadOnly(At(L"t.tmp")));
    EXPECT_NO_THROW(P().MakeFileOrdinary(At(L"absent.tmp")));
    harness_->SetReadOnly(At(L"t.tmp"));
    P().DeleteFileIfPresent(At(L"t.tmp")); // a read-only file goes too
    EXPECT_FALSE(harness_->ReadBytes(At(L"t.tmp")).has_value());
}

TEST_P(ContractTest, ALockFileHasOneHolderAtATime) {
    auto first = P().TryLockFile(At(L"DravikVT.lock"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(P().TryLockFile(At(L"dravikvt.LOCK")), nullptr);
    first.reset();
    EXPECT_NE(P().TryLockFile(At(L"DravikVT.lock")), nullptr);
    EXPECT_THROW(P().TryLockFile(At(L"missing\\DravikVT.lock")), Failure);
}

// ---- Folders of DravikPublish's own ----------------------------------------------------------

TEST_P(ContractTest, FoldersAreListedAndRemovedWithTheirFilesAndFilesComparedByTheirBytes) {
    P().MakeFolder(At(L"Previous-1"));
    P().MakeFolder(At(L"Previous-2"));
    P().MakeFolder(At(L"Other"));
    Put(L"Previous-3.txt", "a file is no folder");
    Put(L"Previous-1\\FE.ade", "kept");
    EXPECT_EQ(P().FoldersMatching(At(L"previous-*")),
              (std::vector<Text>{L"Previous-1", L"Previous-2"}));
    EXPECT_TRUE(P().FoldersMatching(At(L"missing\\*")).empty());
    P().RemoveFolder(At(L"PREVIOUS-1"));
    EXPECT_EQ(P().FoldersMatching(At(L"*")), (std::vector<Text>{L"Other", L"Previous-2"}));
    EXPECT_NO_THROW(P().RemoveFolder(At(L"Previous-1")));
    P().MakeFolder(At(L"Other\\inner"));
    EXPECT_THROW(P().RemoveFolder(At(L"Other")), Failure);

    std::string bytes(300 * 1024, 'x');
    Put(L"a.bin", bytes);
    Put(L"c.bin", bytes);
    bytes.back() = 'y'; // the same size, another last byte
    Put(L"b.bin", bytes);
    EXPECT_TRUE(P().SameBytes(At(L"A.BIN"), At(L"c.bin")));
    EXPECT_FALSE(P().SameBytes(At(L"a.bin"), At(L"b.bin")));
    EXPECT_FALSE(P().SameBytes(At(L"a.bin"), At(L"absent.bin")));
}

TEST_P(ContractTest, CopyingWithProgressCountsFromNothingUpToTheWholeFile) {
    std::string bytes(300 * 1024, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    Put(L"FE.ade", bytes);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
    P().CopyFileOver(At(L"fe.ade"), At(L"~copy"),
                     [&](auto copied, auto total) { reports.emplace_back(copied, total); });
    EXPECT_EQ(harness_->ReadBytes(At(L"~copy")), bytes);
    // Wine never calls CopyFileEx's progress routine; Windows, POSIX and the fake do.
    const bool mayBeSilent =
        GetParam() == Kind::System && std::string(DRAVIK_PLATFORM_NAME).compare(0, 5, "win32") == 0;
    if (!mayBeSilent) {
        ASSERT_FALSE(reports.empty());
    }
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].second, bytes.size());
        EXPECT_LE(reports[i].first, reports[i].second);
        if (i > 0) {
            EXPECT_GE(reports[i].first, reports[i - 1].first);
        }
    }
    if (!reports.empty()) {
        EXPECT_EQ(reports.front().first, 0u);
        EXPECT_EQ(reports.back().first, bytes.size());
    }
    EXPECT_THROW(P().CopyFileOver(At(L"none.ade"), At(L"~x"), [](auto, auto) {}), Failure);
}

// The record file is emptied through one open file: what it held is kept first, and
// the line that stays is written after the cut, never over the old lines.
TEST_P(ContractTest, AHeldRecordIsKeptCutAndWrittenThroughOneOpenFileAndNeverCreated) {
    const std::string record = "PC07_ana\t\t8.12.2026. - 9:15:00\r\nru\xE8no\r\n";
    Put(L"Kolacici.txt", record);
    harness_->MakeFolder(At(L"kept"));
    {
        auto held = P().TryHoldRecord(At(L"KOLACICI.TXT"));
        ASSERT_NE(held, nullptr);
        held->CopyTo(At(L"kept\\Kolacici.txt"));
        held->Cut();
        EXPECT_EQ(harness_->ReadBytes(At(L"Kolacici.txt")), std::string());
        held->WriteLine(L"\tDravikPublish\t1f\t8.12.2026. - 9:16:00");
        held->Flush();
        EXPECT_THROW(held->CopyTo(At(L"missing\\Kolacici.txt")), Failure);
    }
    EXPECT_EQ(harness_->ReadBytes(At(L"kept\\Kolacici.txt")), record);
    EXPECT_EQ(harness_->ReadBytes(At(L"Kolacici.txt")),
              std::string("\tDravikPublish\t1f\t8.12.2026. - 9:16:00\r\n"));
    EXPECT_EQ(P().FindFirstMatch(At(L"kolacici.txt")), L"Kolacici.txt");
    EXPECT_THROW(P().TryHoldRecord(At(L"missing.txt")), Failure);
    EXPECT_FALSE(harness_->ReadBytes(At(L"missing.txt")).has_value());
    EXPECT_THROW(P().TryHoldRecord(At(L"missing\\Kolacici.txt")), Failure);
    EXPECT_THROW(P().TryHoldRecord(At(L"kept")), Failure);

    EXPECT_EQ(P().KindOfPath(At(L"kolacici.TXT")), PathKind::File);
    EXPECT_EQ(P().KindOfPath(At(L"KEPT")), PathKind::Folder);
    EXPECT_EQ(P().KindOfPath(At(L"missing.txt")), PathKind::Nothing);
    EXPECT_EQ(P().KindOfPath(At(L"missing\\Kolacici.txt")), PathKind::Nothing);
    if (!harness_->MakeLink(At(L"link.txt"), At(L"kept\\Kolacici.txt")))
        return; // Wine cannot make one; the fake stands for Windows there
    EXPECT_EQ(P().KindOfPath(At(L"link.txt")), PathKind::Link);
    EXPECT_THROW(P().TryHoldRecord(At(L"link.txt")), Failure);
    EXPECT_EQ(harness_->ReadBytes(At(L"kept\\Kolacici.txt")), record);
}

// While the record is held, a launcher appending and a second emptying are kept
// out, a reader never; an appender holding it keeps the hold out in turn.
TEST_P(ContractTest, AHeldRecordKeepsAppendersAndEmptyingsOutButNeverReaders) {
    Put(L"Kolacici.txt", "PC07_ana\r\n");
    {
        auto appender = harness_->Hold(At(L"Kolacici.txt"), Holder::Appender);
        EXPECT_EQ(P().TryHoldRecord(At(L"Kolacici.txt")), nullptr);
    }
    auto reader = harness_->Hold(At(L"Kolacici.txt"), Holder::SharingReader);
    auto held = P().TryHoldRecord(At(L"Kolacici.txt"));
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(ReadAllLines(P(), At(L"Kolacici.txt")), std::vector<Text>{L"PC07_ana"});
    EXPECT_EQ(P().TryHoldRecord(At(L"Kolacici.txt")), nullptr);
    try {
        P().AppendLine(At(L"Kolacici.txt"), L"PC08_iva");
        ADD_FAILURE() << "appended while the record was held";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.Kind(), FailureKind::SharingViolation);
    }
    held.reset();
    P().AppendLine(At(L"Kolacici.txt"), L"PC08_iva");
    EXPECT_EQ(harness_->ReadBytes(At(L"Kolacici.txt")), std::string("PC07_ana\r\nPC08_iva\r\n"));
}

TEST_P(ContractTest, AFolderIsMadeOnceAndAWholeFileWrittenOverWhatWasThere) {
    P().MakeFolder(At(L"kept"));
    EXPECT_NO_THROW(P().MakeFolder(At(L"KEPT")));
    EXPECT_THROW(P().MakeFolder(At(L"missing\\kept")), Failure);
    P().WriteWholeFile(At(L"kept\\r.txt"), "longer text");
    P().WriteWholeFile(At(L"KEPT\\R.txt"), "short");
    EXPECT_EQ(harness_->ReadBytes(At(L"kept\\r.txt")), std::string("short"));
    EXPECT_EQ(AllMatches(At(L"*")), std::set<Text>{}); // a folder is no file
    EXPECT_THROW(P().WriteWholeFile(At(L"missing\\r.txt"), "x"), Failure);
}

// A log that holds the limit moves aside before the next line; one byte short, it
// takes the line. A new log is UTF-8 with its byte-order mark.
TEST_P(ContractTest, ALogMovesAsideOnceItHoldsTheLimit) {
    Put(L"short.log", std::string(9, 'x'));
    Put(L"full.log", std::string(10, 'x'));
    for (const wchar_t *name : {L"short.log", L"full.log"})
        P().AppendToLog(At(name), L"\u20AC\U0001D11E", 10);
    const std::string line = "\xE2\x82\xAC\xF0\x9D\x84\x9E\r\n";
    EXPECT_EQ(harness_->ReadBytes(At(L"short.log")), std::string(9, 'x') + line);
    EXPECT_FALSE(harness_->ReadBytes(At(L"short.log.1")).has_value());
    EXPECT_EQ(harness_->ReadBytes(At(L"full.log.1")), std::string(10, 'x'));
    EXPECT_EQ(harness_->ReadBytes(At(L"full.log")), "\xEF\xBB\xBF" + line);
}

// ---- Paths, environment, case, clock ----------------------------------------------------------

TEST_P(ContractTest, ParentFolderIsComputedOnTheStringAlone) {
    EXPECT_EQ(P().ParentFolderOf(L"C:\\a\\b\\"), L"C:\\a");
    EXPECT_EQ(P().ParentFolderOf(L"C:\\a\\b"), L"C:\\a");
    EXPECT_EQ(P().ParentFolderOf(L"C:\\a"), L"C:\\");
    EXPECT_EQ(P().ParentFolderOf(L"C:\\"), L"");
    EXPECT_EQ(P().ParentFolderOf(L"a"), L"");
    EXPECT_EQ(P().ParentFolderOf(L""), L"");
    EXPECT_EQ(P().ParentFolderOf(L"Q:\\no\\such\\folder"), L"Q:\\no\\such");
    EXPECT_EQ(P().ParentFolderOf(L"\\\\srv\\share\\dir\\sub"), L"\\\\srv\\share\\dir");
    EXPECT_EQ(P().ParentFolderOf(L"\\\\srv\\share\\dir"), L"\\\\srv\\share\\");
    EXPECT_EQ(P().ParentFolderOf(L"\\\\srv\\share"), L"");
}

TEST_P(ContractTest, EnvironmentNamesIgnoreCase) {
    harness_->SetEnv(L"DRAVIKVT_CONTRACT_NAME", L"pc-07");
    EXPECT_EQ(P().GetEnvVar(L"dravikvt_contract_name"), L"pc-07");
    EXPECT_EQ(P().GetEnvVar(L"DRAVIKVT_CONTRACT_UNSET"), L"");
}

TEST_P(ContractTest, CaseMappingCoversCroatianLetters) {
    EXPECT_EQ(P().ToUpper(L"šđčćž-pc7"), L"ŠĐČĆŽ-PC7");
    EXPECT_EQ(P().ToLower(L"ŠĐČĆŽ_ANA"), L"šđčćž_ana");
}

TEST_P(ContractTest, ClockAndProgramFolderAnswer) {
    EXPECT_FALSE(P().DateText().empty());
    EXPECT_FALSE(P().TimeText().empty());
    Text folder = P().ProgramFolderPath();
    ASSERT_FALSE(folder.empty());
    if (folder.size() > 3) {
        EXPECT_NE(folder.back(), L'\\');
    }
}

// ---- Registry -------------------------------------------------------------------------------

TEST_P(ContractTest, RegistryKeysAndStringsRoundTripWithTheirNul) {
    const Text key = harness_->FreshRegistryKey() + L"\\Location0";
    RegKey handle = 0;
    EXPECT_EQ(P().Registry().RegOpenKeyExA(key, 0x3F, handle), kRegFileNotFound);

    ASSERT_EQ(P().Registry().RegCreateKeyA(key, handle), kRegSuccess);
    EXPECT_EQ(P().Registry().RegSetValueExA(handle, L"Path", L"C:\\Apps\\", 9), kRegSuccess);
    EXPECT_EQ(P().Registry().RegSetValueExA(handle, L"AllowSubfolders", std::uint32_t{1}),
              kRegSuccess);
    EXPECT_EQ(P().Registry().RegCloseKey(handle), kRegSuccess);

    ASSERT_EQ(P().Registry().RegOpenKeyExA(key, 0x3F, handle), kRegSuccess);
    Text buffer(255, L' ');
    std::uint32_t count = 255, type = kRegSz;
    EXPECT_EQ(P().Registry().RegQueryValueExA(handle, L"Path", type, buffer, count), kRegSuccess);
    EXPECT_EQ(count, 9u);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(buffer.size(), 255u);
    EXPECT_EQ(buffer.substr(0, 9), Text(L"C:\\Apps\\") + L'\0');

    Text dword(255, L' ');
    count = 255;
    EXPECT_EQ(P().Registry().RegQueryValueExA(handle, L"AllowSubfolders", type, dword, count),
              kRegSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(dword.substr(0, 4), Text(L"\x01\0\0\0", 4));

    Text untouched(255, L' ');
    count = 255;
    EXPECT_EQ(P().Registry().RegQueryValueExA(handle, L"Missing", type, untouched, count),
              kRegFileNotFound);
    EXPECT_EQ(untouched, Text(255, L' '));
    EXPECT_EQ(P().Registry().RegCloseKey(handle), kRegSuccess);
}

TEST_P(ContractTest, AValueLargerThanTheBufferNeverSpillsOver) {
    const Text key = harness_->FreshRegistryKey();
    RegKey handle = 0;
    ASSERT_EQ(P().Registry().RegCreateKeyA(key, handle), kRegSuccess);
    Text big(300, L'x');
    P().Registry().RegSetValueExA(handle, L"Path", big, 301);
    Text buffer(255, L' ');
    std::uint32_t count = 255, type = kRegSz;
    EXPECT_EQ(P().Registry().RegQueryValueExA(handle, L"Path", type, buffer, count), kRegMoreData);
    EXPECT_EQ(count, 301u);
    EXPECT_EQ(buffer.size(), 255u);
    P().Registry().RegCloseKey(handle);
}

// ---- Registry: what the trust policies need ----------------------------------------------------

TEST_P(ContractTest, SubkeysAreListedByNameIgnoringCaseAndAnExpandStringKeepsItsType) {
    RegistryServices &registry = P().Registry();
    const Text key = harness_->FreshRegistryKey();
    RegKey handle = 0;
    for (const Text sub : {L"location2", L"Loc1", L"b\\deeper"}) {
        ASSERT_EQ(registry.RegCreateKeyA(key + L"\\" + sub, handle), kRegSuccess);
        registry.RegCloseKey(handle);
    }
    ASSERT_EQ(registry.RegCreateKeyA(key + L"\\Loc1", handle), kRegSuccess);
    EXPECT_EQ(registry.RegSetValueExA(handle, L"Path", kRegExpandSz, L"%SystemDrive%\\A\\", 17),
              kRegSuccess);
    registry.RegCloseKey(handle);

    ASSERT_EQ(registry.RegOpenKeyExA(key, kRegKeyRead, handle), kRegSuccess);
    std::vector<Text> names;
    Text name;
    for (std::uint32_t i = 0; registry.RegEnumKeyExA(handle, i, name) == kRegSuccess; ++i)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<Text>{L"b", L"Loc1", L"location2"}));
    EXPECT_EQ(registry.RegEnumKeyExA(handle, 3, name), kRegNoMoreItems);
    registry.RegCloseKey(handle);

    ASSERT_EQ(registry.RegOpenKeyExA(key + L"\\loc1", kRegKeyRead, handle), kRegSuccess);
    Text buffer(255, L' ');
    std::uint32_t count = 255, type = kRegSz;
    EXPECT_EQ(registry.RegQueryValueExA(handle, L"Path", type, buffer, count), kRegSuccess);
    EXPECT_EQ(type, kRegExpandSz);
    EXPECT_EQ(buffer.substr(0, count), Text(L"%SystemDrive%\\A\\") + L'\0') << "never expanded";
    registry.RegCloseKey(handle);
}

INSTANTIATE_TEST_SUITE_P(Platforms, ContractTest, ::testing::Values(Kind::Fake, Kind::System),
                         [](const auto &paramInfo) {
                             return std::string(
                                 paramInfo.param == Kind::Fake ? "fake" : DRAVIK_PLATFORM_NAME);
                         });

} // namespace
} // namespace dravik::contract
