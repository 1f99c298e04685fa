// DravikPublish.exe under Wine: what it prints and leaves, its refusals, a file
// held open on the server, one run at a time, and publishing while real launchers (DravikVT.exe,
// played by DravikUser.exe) update from the same server folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Bytes.h"
#include "tests/support/TestText.h"
#include "tests/support/WindowReading.h"

namespace dravik {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::wstring>;

const wchar_t kTrustedLocations[] =
    L"Software\\Microsoft\\Office\\14.0\\Access\\Security\\Trusted Locations";

// Files the tests write, and read back as "<absent>" when they cannot.
void Write(const fs::path &path, const std::string &bytes) {
    test::WriteBytes(path, bytes);
}
std::string Read(const fs::path &path) {
    return test::ReadBytes(path).value_or("<absent>");
}

// The volume's number for the file: the same number means the same file.
ULONGLONG FileIdentity(const fs::path &path) {
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return known ? (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow : 0;
}

bool HasTemporaryCopies(const fs::path &folder) {
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.path().filename().wstring().rfind(L"~DravikPublish~", 0) == 0)
            return true;
    return false;
}

// The record file as a publish leaves it: the publication mark, alone.
bool IsMarkOnly(const std::string &record) {
    return record.rfind("\tDravikPublish\t", 0) == 0 && record.find('\n') == record.size() - 1 &&
           record.size() > 50 && record.compare(record.size() - 2, 2, "\r\n") == 0;
}

bool Mentions(const Lines &lines, const std::wstring &piece) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::wstring &line) {
        return line.find(piece) != std::wstring::npos;
    });
}

std::string AsUtf8Lines(const Lines &lines) {
    std::wstring all;
    for (const std::wstring &line : lines)
        all += line + L"\n";
    return test::Utf8(all);
}

// DravikPublish.exe with its standard output and error in one file.
class PublishRun {
public:
    PublishRun(const std::wstring &arguments, const fs::path &output) : output_(output) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE file = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = file;
        startup.hStdError = file;
        std::wstring line = L"\"" + test::WindowsPath(DRAVIK_PUBLISH_EXE) + L"\" " + arguments;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                           &process)) {
            CloseHandle(process.hThread);
            process_ = process.hProcess;
        }
        CloseHandle(file);
    }
    ~PublishRun() {
        if (process_ != nullptr)
            CloseHandle(process_);
    }
    PublishRun(const PublishRun &) = delete;
    PublishRun &operator=(const PublishRun &) = delete;

    Lines Output() const { return test::ReadUtf8Lines(output_.wstring()); }
    // The exit code, or -1 when it did not start or end in time.
    int Wait(int timeoutMs = 120000) {
        DWORD code = static_cast<DWORD>(-1);
        if (process_ == nullptr)
            return -1;
        if (WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_, &code);
        else
            TerminateProcess(process_, 99);
        return static_cast<int>(code);
    }

private:
    fs::path output_;
    HANDLE process_ = nullptr;
};

struct Result {
    int code;
    Lines output;
};

const char *const kFiles[] = {"uxVTade.ade", "RuxVT1.ade", "RUXVT2.accde", "Velkor_2007.exe"};

class PublishTool : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::temp_directory_path() / (std::string("dravik-publish-") + info->name());
        fs::remove_all(root);
        fs::create_directories(root / "server");
        for (int v = 1; v <= 2; ++v) {
            fs::create_directories(Folder(v));
            for (const char *name : kFiles) {
                const std::size_t size =
                    std::string(name) == "uxVTade.ade" ? v * 1024 * 1024 : 5000;
                versions[v][name] =
                    test::Pattern(size, static_cast<unsigned>(v * 100 + name[0] + name[4]));
                Write(Folder(v) / name, versions[v][name]);
            }
        }
        Put(1, root / "server");
        Write(root / "server" / "Kolacici.txt", kRecord);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTrustedLocations);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    fs::path Folder(int v) const { return root / ("v" + std::to_string(v)); }
    void Put(int v, const fs::path &folder) {
        for (const char *name : kFiles)
            Write(folder / name, versions[v][name]);
    }
    // Which version the folder's file is: 1, 2, or 0 for neither (torn, or absent).
    int VersionOf(const fs::path &folder, const char *name) {
        const std::string bytes = Read(folder / name);
        for (int v = 1; v <= 2; ++v)
            if (bytes == versions[v][name])
                return v;
        return 0;
    }
    bool AllOfVersion(int v, const fs::path &folder) {
        return std::all_of(std::begin(kFiles), std::end(kFiles),
                           [&](const char *name) { return VersionOf(folder, name) == v; });
    }
    static std::wstring Quoted(const fs::path &path) { return L"\"" + path.wstring() + L"\""; }
    Result Publish(const std::wstring &arguments) {
        PublishRun run(arguments, root / "publish-output.txt");
        int code = run.Wait();
        return {code, run.Output()};
    }
    Result PublishVersion(int v, const std::wstring &options = L"") {
        return Publish(options + Quoted(Folder(v)) + L" " + Quoted(root / "server"));
    }

    // A workstation's program folder with the launcher and its settings, and the
    // stand-in Access they share.
    fs::path MakeStation(int n) {
        const fs::path office = root / "office";
        if (!fs::exists(office / "MSACCESS.EXE")) {
            fs::create_directories(office);
            fs::copy_file(test::WindowsPath(DRAVIK_MSACCESS_EXE), office / "MSACCESS.EXE");
        }
        const fs::path app = root / ("ws" + std::to_string(n)) / "app";
        fs::create_directories(app);
        fs::copy_file(test::WindowsPath(DRAVIK_LAUNCHER_EXE), app / "DravikVT.exe");
        Write(app / "DravikVT.txt", "NewFiles = " + (root / "server").string() +
                                        "\r\nDefAccessPath = " + office.string() +
                                        "\\MSACCESS.EXE\r\nNewFE = uxVTade.ade\r\n");
        return app;
    }
    // Starts the station's launcher as computer ws<n>, played by DravikUser; what the
    // user saw is in its log.
    static Lines RunStation(int n, const fs::path &app) {
        const std::wstring number = std::to_wstring(n);
        const fs::path log = app.parent_path() / "user.log";
        test::RunAndWait(L"\"" + test::WindowsPath(DRAVIK_USER_EXE) + L"\" --log \"" +
                             log.wstring() + L"\" --timeout-ms 200000 --env computername=ws" +
                             number + L" --env username=user" + number + L" --run \"" +
                             (app / "DravikVT.exe").wstring() + L"\"",
                         240000);
        return test::ReadUtf8Lines(log.wstring());
    }

    static constexpr const char *kRecord = "PC07_ana\t\t1.12.2026. - 8:00:00\r\n";
    fs::path root;
    std::map<int, std::map<std::string, std::string>> versions;
};

TEST_F(PublishTool, ReplacesEveryFileAndEmptiesTheRecordInPlaceAndARollbackPutsThemBack) {
    const ULONGLONG record = FileIdentity(root / "server" / "Kolacici.txt");
    ASSERT_NE(record, 0u);
    Write(Folder(2) / "Upute.txt", "added");
    Result result = PublishVersion(2);
    SCOPED_TRACE(AsUtf8Lines(result.output));
    EXPECT_EQ(result.code, 0);
    EXPECT_TRUE(AllOfVersion(2, root / "server"));
    EXPECT_TRUE(IsMarkOnly(Read(root / "server" / "Kolacici.txt")));
    EXPECT_EQ(FileIdentity(root / "server" / "Kolacici.txt"), record);
    EXPECT_FALSE(HasTemporaryCopies(root / "server"));
    EXPECT_TRUE(Mentions(result.output, L"Front end: uxVTade.ade"));
    EXPECT_TRUE(Mentions(result.output, L"  RUXVT2.accde replaced"));
    EXPECT_TRUE(Mentions(result.output, L"Kolacici.txt emptied"));

    const std::wstring server = Quoted(root / "server");
    EXPECT_EQ(Publish(L"--status " + server).code, 8); // PC07_ana took only the old one
    Result back = Publish(L"--rollback " + server);
    SCOPED_TRACE(AsUtf8Lines(back.output));
    EXPECT_EQ(back.code, 0);
    EXPECT_TRUE(AllOfVersion(1, root / "server"));
    EXPECT_FALSE(fs::exists(root / "server" / "Upute.txt"));
    EXPECT_EQ(FileIdentity(root / "server" / "Kolacici.txt"), record);
    EXPECT_FALSE(HasTemporaryCopies(root / "server"));
    EXPECT_EQ(Publish(L"--rollback " + server).code, 9); // nothing older is kept
    EXPECT_TRUE(AllOfVersion(1, root / "server"));
}

// Which refusal comes when is the logic's, shown on the fake; here the codes and
// the names come through a real process and its wide command line.
TEST_F(PublishTool, RefusalsEndWithTheirCodesAndChangeNothing) {
    Result noServer = Publish(Quoted(Folder(2)) + L" " + Quoted(root / "nema"));
    EXPECT_EQ(noServer.code, 4) << AsUtf8Lines(noServer.output);
    EXPECT_TRUE(Mentions(noServer.output, L"Refused: cannot write to the server folder"));
    // The folder's name comes from the wide command line and goes out whole, in UTF-8
    // (the test's output is a file); no such folder exists.
    Result croatian = Publish(Quoted(root / L"novo-\u010d\u0107\u017e\u0161\u0111") + L" " +
                              Quoted(root / "server"));
    EXPECT_EQ(croatian.code, 3) << AsUtf8Lines(croatian.output);
    EXPECT_TRUE(Mentions(croatian.output, L"novo-\u010d\u0107\u017e\u0161\u0111\" holds no files"))
        << AsUtf8Lines(croatian.output);
    EXPECT_TRUE(AllOfVersion(1, root / "server"));
    EXPECT_EQ(Read(root / "server" / "Kolacici.txt"), kRecord);
}

// A workstation copying a file holds it open; the tool waits for it, for a while.
TEST_F(PublishTool, AFileHeldOpenIsWaitedForAndARunThatGivesUpIsFinishedByTheNext) {
    const fs::path held = root / "server" / "RuxVT1.ade";
    // As a launcher's copy holds it: others may read it (and keep it), not replace it.
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    Result gaveUp = PublishVersion(2, L"--wait 1 ");
    SCOPED_TRACE(AsUtf8Lines(gaveUp.output));
    EXPECT_EQ(gaveUp.code, 6);
    EXPECT_TRUE(Mentions(gaveUp.output, L"  RuxVT1.ade is in use on the server; trying again"));
    EXPECT_TRUE(Mentions(gaveUp.output, L"Still in use after 1 s."));
    EXPECT_TRUE(Mentions(gaveUp.output, L"Run DravikPublish again to finish."));
    EXPECT_EQ(VersionOf(root / "server", "uxVTade.ade"), 2); // the front end goes first
    EXPECT_EQ(VersionOf(root / "server", "RUXVT2.accde"), 1);
    EXPECT_EQ(VersionOf(root / "server", "Velkor_2007.exe"), 1);
    EXPECT_EQ(Read(root / "server" / "Kolacici.txt"), kRecord);
    EXPECT_FALSE(HasTemporaryCopies(root / "server"));

    // The next run waits, and goes on as soon as the file is let go.
    PublishRun next(Quoted(Folder(2)) + L" " + Quoted(root / "server"),
                    root / "publish-output.txt");
    for (int waited = 0; waited < 30000 && !Mentions(next.Output(), L"is in use"); waited += 50)
        Sleep(50);
    EXPECT_TRUE(Mentions(next.Output(), L"  RuxVT1.ade is in use on the server"));
    CloseHandle(holder);
    EXPECT_EQ(next.Wait(), 0) << AsUtf8Lines(next.Output());
    EXPECT_TRUE(AllOfVersion(2, root / "server"));
    EXPECT_TRUE(IsMarkOnly(Read(root / "server" / "Kolacici.txt")));
    EXPECT_FALSE(HasTemporaryCopies(root / "server"));
}

// One run at a time: a second run while the first waits for a file in use is refused
// and changes nothing; the first then finishes.
TEST_F(PublishTool, ASecondRunWhileTheFirstWorksIsRefusedAndChangesNothing) {
    const fs::path server = root / "server";
    HANDLE holder = CreateFileW((server / "RuxVT1.ade").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    PublishRun first(Quoted(Folder(2)) + L" " + Quoted(server), root / "first-output.txt");
    for (int waited = 0; waited < 30000 && !Mentions(first.Output(), L"is in use"); waited += 50)
        Sleep(50);
    ASSERT_TRUE(Mentions(first.Output(), L"  RuxVT1.ade is in use on the server"));
    auto snapshot = [&] {
        std::map<std::wstring, std::size_t> files; // each file's name and a hash of it
        for (const auto &entry : fs::recursive_directory_iterator(server))
            if (entry.is_regular_file() && entry.path().filename() != L"Publish.lock")
                files[entry.path().wstring()] = std::hash<std::string>{}(Read(entry.path()));
        return files;
    };
    const auto before = snapshot();
    Result second = PublishVersion(1);
    EXPECT_EQ(second.code, 11) << AsUtf8Lines(second.output);
    EXPECT_TRUE(Mentions(second.output, L"Another DravikPublish is working on this server folder"));
    EXPECT_EQ(snapshot(), before);
    CloseHandle(holder);
    EXPECT_EQ(first.Wait(), 0) << AsUtf8Lines(first.Output());
    EXPECT_TRUE(AllOfVersion(2, server));
    EXPECT_FALSE(HasTemporaryCopies(server));
}

// Each workstation loses its front end before every start, so that every start
// copies from the server while the versions change under it.
TEST_F(PublishTool, LaunchersUpdatingWhileVersionsArePublishedEndWithWholeFiles) {
    const fs::path server = root / "server";
    const ULONGLONG record = FileIdentity(server / "Kolacici.txt");

    struct Station {
        fs::path app;
        int starts = 0;
        int failures = 0;
        std::vector<std::string> torn;
    };
    std::vector<Station> stations(3);
    for (std::size_t i = 0; i < stations.size(); ++i)
        stations[i].app = MakeStation(static_cast<int>(i + 1));
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < stations.size(); ++i) {
        threads.emplace_back([&, i] {
            Station &s = stations[i];
            while (!stop) {
                std::error_code ignored;
                fs::remove(s.app / "uxVTade.ade", ignored);
                ++s.starts;
                if (Mentions(RunStation(static_cast<int>(i + 1), s.app), L"message\t"))
                    ++s.failures;
                for (const char *name : kFiles)
                    if (fs::exists(s.app / name) && VersionOf(s.app, name) == 0)
                        s.torn.push_back("start " + std::to_string(s.starts) + ": " + name);
            }
        });
    }
    std::vector<Result> publishes;
    Sleep(1000);
    for (int round = 1; round <= 4; ++round) {
        publishes.push_back(PublishVersion(round % 2 == 1 ? 2 : 1));
        Sleep(500);
    }
    Sleep(1000);
    stop = true;
    for (std::thread &thread : threads)
        thread.join();

    for (const Result &result : publishes)
        EXPECT_EQ(result.code, 0) << AsUtf8Lines(result.output);
    int starts = 0;
    for (const Station &s : stations) {
        starts += s.starts;
        EXPECT_GE(s.starts, 2);
        for (const std::string &file : s.torn)
            ADD_FAILURE() << "of mixed versions after " << file;
    }
    std::cout << "  " << publishes.size() << " publishes, " << starts << " launcher starts, "
              << std::accumulate(stations.begin(), stations.end(), 0,
                                 [](int sum, const Station &s) { return sum + s.failures; })
              << " of them with a failure message\n";
    EXPECT_TRUE(AllOfVersion(1, server));
    EXPECT_FALSE(HasTemporaryCopies(server));
    EXPECT_EQ(FileIdentity(server / "Kolacici.txt"), record);
}

// The morning of a publish: twenty new workstations start at the moment a version is
// published. None fails or shows a message; each starts Access on one whole version,
// and each recorded holds the server's version.
TEST_F(PublishTool, TwentyNewWorkstationsStartingDuringAPublishEachTakeOneWholeVersion) {
    constexpr int kStations = 20;
    std::vector<fs::path> apps;
    for (int n = 1; n <= kStations; ++n)
        apps.push_back(MakeStation(n));
    std::vector<Lines> seen(kStations);
    std::vector<std::thread> threads;
    for (int n = 1; n <= kStations; ++n)
        threads.emplace_back([&, n] { seen[n - 1] = RunStation(n, apps[n - 1]); });
    Sleep(300);
    const Result published = PublishVersion(2);
    for (std::thread &thread : threads)
        thread.join();

    EXPECT_EQ(published.code, 0) << AsUtf8Lines(published.output);
    const std::string record = Read(root / "server" / "Kolacici.txt");
    Lines starts; // the stand-in Access runs on its own: give it a moment
    for (int waited = 0; waited < 10000 && starts.size() < kStations; waited += 100, Sleep(100))
        starts = test::ReadUtf8Lines((root / "office" / "msaccess-started.log").wstring());
    EXPECT_EQ(starts.size(), static_cast<std::size_t>(kStations));
    for (int n = 1; n <= kStations; ++n) {
        SCOPED_TRACE("ws" + std::to_string(n));
        EXPECT_TRUE(Mentions(seen[n - 1], L"exit\tcode=0")) << AsUtf8Lines(seen[n - 1]);
        EXPECT_FALSE(Mentions(seen[n - 1], L"message\t")) << AsUtf8Lines(seen[n - 1]);
        EXPECT_TRUE(AllOfVersion(1, apps[n - 1]) || AllOfVersion(2, apps[n - 1]));
        const std::string key = "WS" + std::to_string(n) + "_user" + std::to_string(n) + "\t";
        if (record.find(key) != std::string::npos) {
            EXPECT_TRUE(AllOfVersion(2, apps[n - 1]));
        }
    }
}

} // namespace
} // namespace dravik
