// The update against real folders on both platforms: what is copied, what is
// recorded, and what stays when something on the way fails.
#include <atomic>
#include <fstream>
#include <thread>

#include "tests/integration/DiskScene.h"
#include "tests/integration/SystemSupport.h"

namespace dravik::test {
namespace {

using UpdateOnDisk = DiskScene;

TEST_F(UpdateOnDisk, CopiesEverythingByteForByteAndRecordsOnce) {
    ServerFiles();
    OldLocalFiles();
    WriteBytes(server / "Kolacici.txt", "PC01_ivo\t\t1.12.2026. - 8:00:00\r\n");

    EXPECT_EQ(Update(), std::nullopt);

    EXPECT_EQ(Local("uxVTade.ade"), Server("uxVTade.ade"));
    EXPECT_EQ(Local("RuxVT1.ade"), Server("RuxVT1.ade")); // the old one replaced
    EXPECT_EQ(Local("Velkor_2007.exe"), Server("Velkor_2007.exe"));
    // The report file keeps the name the folder search found, letter case and all.
    bool reportUnderItsName = false;
    for (const auto &entry : fs::directory_iterator(program))
        reportUnderItsName = reportUnderItsName || entry.path().filename() == "RUXVT2.ACCDE";
    EXPECT_TRUE(reportUnderItsName);
    EXPECT_EQ(Local("RUXVT2.ACCDE"), Server("RUXVT2.ACCDE"));

    std::vector<std::string> lines = RecordLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "PC01_ivo\t\t1.12.2026. - 8:00:00\r\n"); // never rewritten
    EXPECT_TRUE(IsRecordLineOf(lines[1], "PC07_ana")) << lines[1];
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(UpdateOnDisk, ASecondUpdateReplacesTheCopiesAndAddsOneLine) {
    ServerFiles();
    ASSERT_EQ(Update(), std::nullopt);
    WriteBytes(server / "uxVTade.ade", Pattern(200000, 21));
    ASSERT_EQ(Update(), std::nullopt);
    EXPECT_EQ(Local("uxVTade.ade"), Server("uxVTade.ade"));
    std::vector<std::string> lines = RecordLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(IsRecordLineOf(lines[0], "PC07_ana"));
    EXPECT_TRUE(IsRecordLineOf(lines[1], "PC07_ana"));
    EXPECT_TRUE(NoTemporaryFiles());
}

// An administrator still copying the new version into the server folder: the
// front end grows while the launcher copies it. The torn copy is not taken.
TEST_F(UpdateOnDisk, AServerFileThatChangesWhileItIsCopiedFailsAndNothingIsRecorded) {
    ServerFiles(40 * 1024 * 1024);
    OldLocalFiles();
    std::atomic<bool> stop{false};
    std::atomic<int> appended{0};
    std::thread writer([&] {
        std::ofstream front(server / "uxVTade.ade", std::ios::binary | std::ios::app);
        while (!stop) {
            front.write("still copying", 13);
            front.flush();
            ++appended;
        }
    });
    while (appended < 10) // writing before the launcher looks
        std::this_thread::yield();
    std::optional<Text> failure = Update();
    stop = true;
    writer.join();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->rfind(L"Datoteka na serveru promijenila se dok se kopirala", 0), 0u)
        << Utf8(*failure);
    EXPECT_NE(failure->find(server.wstring() + L"\\uxVTade.ade"), Text::npos) << Utf8(*failure);
    // A writer that paused during a copy cannot be told from a finished one: the
    // local front end is the old one, or an earlier state of the server's, whole.
    const std::string local = Local("uxVTade.ade");
    EXPECT_TRUE(local == OldFrontEnd() || Server("uxVTade.ade").rfind(local, 0) == 0);
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(UpdateOnDisk, AMissingServerFolderFailsAndLeavesTheOldCopy) {
    OldLocalFiles();
    fs::remove(server);

    std::optional<Text> failure = Update();

    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find(SystemText(kErrorMissingFolder)), Text::npos) << Utf8(*failure);
    EXPECT_EQ(Local("uxVTade.ade"), OldFrontEnd());
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_FALSE(fs::exists(server));
}

TEST_F(UpdateOnDisk, AFrontEndThatIsAFolderCannotBeReadAndNothingIsRecorded) {
    ServerFiles();
    OldLocalFiles();
    fs::remove(server / "uxVTade.ade");
    fs::create_directory(server / "uxVTade.ade");

    std::optional<Text> failure = Update();

    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find(SystemText(kErrorFolderAsFile)), Text::npos) << Utf8(*failure);
    EXPECT_EQ(Local("uxVTade.ade"), OldFrontEnd());
    EXPECT_EQ(Local("RUXVT2.ACCDE"), "<absent>"); // stopped at the first copy
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_TRUE(NothingRecorded());
}

TEST_F(UpdateOnDisk, ARecordFileThatIsAFolderFailsAfterTheCopies) {
    ServerFiles();
    OldLocalFiles();
    fs::create_directory(server / "Kolacici.txt");

    std::optional<Text> failure = Update();

    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find(SystemText(kErrorFolderAsFile)), Text::npos) << Utf8(*failure);
    // What was copied before the record stays copied.
    EXPECT_EQ(Local("uxVTade.ade"), Server("uxVTade.ade"));
    EXPECT_EQ(Local("RUXVT2.ACCDE"), Server("RUXVT2.ACCDE"));
    EXPECT_EQ(Local("Velkor_2007.exe"), Server("Velkor_2007.exe"));
    EXPECT_TRUE(fs::is_directory(server / "Kolacici.txt"));
    EXPECT_TRUE(fs::is_empty(server / "Kolacici.txt"));
    EXPECT_TRUE(NoTemporaryFiles());
}

} // namespace
} // namespace dravik::test
