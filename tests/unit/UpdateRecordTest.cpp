#include <gtest/gtest.h>

#include <algorithm>

#include "launcher/UpdateRecord.h"
#include "tests/unit/Scene.h"

namespace dravik::test {
namespace {

struct UpdateRecordTest : ::testing::Test, Scene {
    bool Has(const Text &key) { return IsRecorded(platform, kRecordFile, key); }
    void Bytes(const std::string &bytes) { platform.PutFile(kRecordFile, bytes); }
};

TEST_F(UpdateRecordTest, AnAbsentFileRecordsNobodyAndIsNeverOpened) {
    EXPECT_FALSE(Has(kUserKey));
    for (const Text &call : platform.calls)
        EXPECT_EQ(call.find(L"ForEachLine"), Text::npos) << "opened: " << call.size();
}

TEST_F(UpdateRecordTest, KeyPartBeforeTheFirstTabIsTrimmedAndComparedWhole) {
    Bytes("OTHER_bob\t\t1.1.2026. - 8:00:00\r\n"
          "  PC07_ana  \t\t1.1.2026. - 8:00:00\r\n");
    EXPECT_TRUE(Has(L"PC07_ana"));
    EXPECT_FALSE(Has(L"PC07_an"));  // a prefix of a recorded key
    EXPECT_FALSE(Has(L"PC07_ANA")); // case-sensitive
    EXPECT_FALSE(Has(L"PC07_anabel"));
}

TEST_F(UpdateRecordTest, UntabbedLinesAreComparedWholeWithoutTrimming) {
    Bytes("PC07_ana\r\nPC08_iva  \r\n");
    EXPECT_TRUE(Has(L"PC07_ana"));
    EXPECT_FALSE(Has(L"PC08_iva"));
}

TEST_F(UpdateRecordTest, OddFilesAreReadWithoutHarm) {
    std::string nul("A\0B\t\tx\r\n", 8);
    Bytes(nul + std::string(200000, 'z') +
          "\r\nPC07_ana\t\tLF only\nPC09_eva"); // no final line end
    EXPECT_TRUE(Has(L"PC07_ana"));
    EXPECT_TRUE(Has(L"PC09_eva"));
    EXPECT_TRUE(Has(Text(L"A\0B", 3)));
    EXPECT_FALSE(Has(L"A"));
}

TEST_F(UpdateRecordTest, AKeyRecordedTwiceIsStillRecorded) {
    Bytes("PC07_ana\t\ta\r\nPC07_ana\t\tb\r\nX\r\n");
    EXPECT_TRUE(Has(L"PC07_ana"));
}

TEST_F(UpdateRecordTest, AppendWritesKeyTwoTabsDateAndTimeThenCrLf) {
    AppendRecord(platform, kRecordFile, L"PC07_ana");
    AppendRecord(platform, kRecordFile, L"PC08_šime");
    EXPECT_EQ(RecordBytes(), "PC07_ana\t\t8.12.2026. - 9:15:00\r\n"
                             "PC08_\x9Aime\t\t8.12.2026. - 9:15:00\r\n");
    EXPECT_TRUE(Has(L"PC08_šime"));
}

// Found by fuzzing: a record file whose last line had no line end swallowed the
// next record, so neither workstation was found again.
TEST_F(UpdateRecordTest, AnAppendAfterAnUnendedLastLineKeepsBothRecords) {
    Bytes(std::string("A\0B\t\tx\nPC07_ana", 15));
    AppendRecord(platform, kRecordFile, L"PC07_ana");
    EXPECT_TRUE(Has(L"PC07_ana"));
    Bytes("PC08_iva\t\t1.1.2026. - 8:00:00");
    AppendRecord(platform, kRecordFile, L"PC07_ana");
    EXPECT_TRUE(Has(L"PC08_iva"));
    EXPECT_TRUE(Has(L"PC07_ana"));
}

// Another workstation appending holds the file for a moment: the append is tried
// again, in short pauses of varying length, for about two seconds in all.
TEST_F(UpdateRecordTest, AnAppendRefusedByAnotherHolderIsTriedAgainForAboutTwoSeconds) {
    Bytes("x\r\n");
    platform.refusedAppends = 3;
    AppendRecord(platform, kRecordFile, kUserKey);
    EXPECT_EQ(platform.appendTries, 4);
    EXPECT_EQ(platform.pauses.size(), 3u);
    EXPECT_EQ(RecordBytes(), "x\r\nPC07_ana\t\t8.12.2026. - 9:15:00\r\n");

    platform.HoldFile(kRecordFile, FakeHold::Appender); // and never lets go
    platform.pauses.clear();
    const std::int64_t start = platform.clockMs;
    try {
        platform.AppendLine(kRecordFile, L"PC08_iva");
        FAIL() << "appended to a held file";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.Description(), kFakeSharingViolation + L" (\"" + kRecordFile + L"\")");
    }
    EXPECT_EQ(platform.clockMs - start, 2000);
    EXPECT_GE(platform.pauses.size(), 2000u / 60);
    EXPECT_LE(platform.pauses.size(), 2000u / 20);
    for (std::size_t i = 0; i + 1 < platform.pauses.size(); ++i) {
        EXPECT_GE(platform.pauses[i], 20);
        EXPECT_LE(platform.pauses[i], 60);
    }
    EXPECT_NE(*std::min_element(platform.pauses.begin(), platform.pauses.end() - 1),
              *std::max_element(platform.pauses.begin(), platform.pauses.end() - 1));
    EXPECT_EQ(RecordBytes(), "x\r\nPC07_ana\t\t8.12.2026. - 9:15:00\r\n");
}

// A publish holds the record while it puts a version in place, and a burst of
// workstations hold it in turn: the record line waits two minutes for it, between
// the short tries, answering the system meanwhile; a holder that lets go in time
// costs no start.
TEST_F(UpdateRecordTest, ARecordHeldLongerIsWaitedForTwoMinutesWithTheWindowAnswering) {
    Bytes("x\r\n");
    platform.HoldFile(kRecordFile, FakeHold::Appender, 90000);
    EXPECT_TRUE(AppendRecord(platform, kRecordFile, kUserKey));
    EXPECT_GE(platform.clockMs, 90000);
    EXPECT_EQ(RecordBytes(), "x\r\nPC07_ana\t\t8.12.2026. - 9:15:00\r\n");
    EXPECT_GE(platform.labelWhenAnswering.size(), 90000u / 2000 - 1);

    platform.HoldFile(kRecordFile, FakeHold::Appender); // never lets go
    const std::int64_t start = platform.clockMs;
    EXPECT_THROW(AppendRecord(platform, kRecordFile, L"PC08_iva"), Failure);
    EXPECT_EQ(platform.clockMs - start, 120000);
    EXPECT_EQ(RecordBytes(), "x\r\nPC07_ana\t\t8.12.2026. - 9:15:00\r\n");
}

TEST_F(UpdateRecordTest, FailuresReachTheCaller) {
    Bytes("x\r\n");
    platform.LockFile(kRecordFile);
    EXPECT_THROW(Has(kUserKey), Failure);
    EXPECT_THROW(AppendRecord(platform, kRecordFile, kUserKey), Failure);
    EXPECT_EQ(RecordBytes(), "x\r\n");
}

} // namespace
} // namespace dravik::test
