// End-to-end scenarios for the Windows build: the real DravikVT.exe in a program
// folder of its own, a server folder, a stand-in MSACCESS.EXE that notes how it
// was started, and DravikUser.exe playing the user (keys, prompt, message boxes,
// buttons). Every scenario starts from fresh folders and from an empty list of
// Access trusted locations.
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Text.h"
#include "tests/support/Bytes.h"
#include "tests/support/TestText.h"
#include "tests/support/UserLog.h"
#include "tests/support/WindowReading.h"

namespace dravik {
namespace {

const wchar_t kTrustedLocations[] =
    L"Software\\Microsoft\\Office\\14.0\\Access\\Security\\Trusted Locations";
const wchar_t kStatusText[] = L"Kopiranje nove verzije programa...";
const wchar_t kStartupFailureLine[] =
    L"message\ttitle=DravikVT\ticon=information\ttext=Dravik: Ne mogu pokrenuti program!"
    L"\\r\\rError:";

// ---- Text and files --------------------------------------------------------------------------

// The system's description of an error, as the launcher shows it after "Error:".
std::wstring SystemText(DWORD code) {
    return SystemErrorText(code);
}

bool Exists(const std::wstring &path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The file's bytes, or "<absent>".
std::string ReadBytes(const std::wstring &path) {
    return test::ReadBytes(path).value_or("<absent>");
}

std::vector<std::wstring> NamesIn(const std::wstring &folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

void DeleteTree(const std::wstring &folder) {
    for (const std::wstring &name : NamesIn(folder)) {
        std::wstring path = folder + L"\\" + name;
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteTree(path);
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }
    RemoveDirectoryW(folder.c_str());
}

std::wstring TempFolder() {
    wchar_t shortPath[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, shortPath);
    wchar_t longPath[MAX_PATH + 1] = {};
    DWORD length = GetLongPathNameW(shortPath, longPath, MAX_PATH + 1);
    std::wstring folder = length > 0 && length <= MAX_PATH ? longPath : shortPath;
    while (!folder.empty() && folder.back() == L'\\') {
        folder.pop_back();
    }
    return folder;
}

// ---- Registry ----------------------------------------------------------------------------------

void ForgetTrustedLocations() {
    LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, kTrustedLocations);
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
    // Office's policies and a later version's slots, which some scenarios set.
    for (const wchar_t *key :
         {L"Software\\Policies\\Microsoft\\Office", L"Software\\Policies\\Microsoft\\Cloud",
          L"Software\\Microsoft\\Office\\16.0\\Access\\Security\\Trusted Locations"}) {
        RegDeleteTreeW(HKEY_CURRENT_USER, key);
    }
}

struct RegValue {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

RegValue ReadValue(const std::wstring &slot, const wchar_t *name) {
    RegValue value;
    HKEY key = nullptr;
    std::wstring path = std::wstring(kTrustedLocations) + L"\\" + slot;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.present = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(),
                                         &size) == ERROR_SUCCESS;
        value.data.resize(size);
    }
    RegCloseKey(key);
    return value;
}

std::wstring StringOf(const RegValue &value) {
    std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
    std::copy(value.data.begin(), value.data.begin() + text.size() * sizeof(wchar_t),
              reinterpret_cast<BYTE *>(&text[0]));
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

std::vector<std::wstring> TrustedLocationSlots(const std::wstring &of = kTrustedLocations) {
    std::vector<std::wstring> slots;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, of.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return slots;
    }
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        slots.emplace_back(name, length);
    }
    RegCloseKey(key);
    return slots;
}

void WriteTrustedLocation(int slot, const std::wstring &path) {
    HKEY key = nullptr;
    std::wstring name = std::wstring(kTrustedLocations) + L"\\Location" + std::to_wstring(slot);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE *>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// ---- The clock as the launcher writes it -------------------------------------------------------

ULONGLONG Ticks(const SYSTEMTIME &time) {
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

SYSTEMTIME TimeOf(ULONGLONG ticks) {
    FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME time{};
    FileTimeToSystemTime(&file, &time);
    return time;
}

std::wstring Formatted(const SYSTEMTIME &time, bool date) {
    wchar_t buffer[128] = {};
    if (date) {
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, 128);
    } else {
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, buffer, 128);
    }
    return buffer;
}

// Every record line the launcher may have written for `key` between the two
// moments (local time, whole seconds), as ANSI bytes.
std::vector<std::string> PossibleRecordLines(const std::wstring &key, const SYSTEMTIME &from,
                                             const SYSTEMTIME &to) {
    const ULONGLONG second = 10000000ULL;
    std::vector<std::string> lines;
    for (ULONGLONG t = Ticks(from) / second * second; t <= Ticks(to); t += second) {
        SYSTEMTIME moment = TimeOf(t);
        lines.push_back(ToAnsi(key + L"\t\t" + Formatted(moment, true) + L" - " +
                               Formatted(moment, false) + L"\r\n"));
    }
    return lines;
}

// ---- A scenario
// ----------------------------------------------------------------------------------

using test::PlayerRun;
using test::StartProcess;

using Lines = std::vector<std::wstring>;

const std::string kOldFrontEnd = "FE v1";
const std::string kNewFrontEnd = "FE v2";

// A workstation: its program folder with the launcher and its configuration, and
// an Access of its own, which notes how it was started.
struct Workstation {
    std::wstring app, office;
    std::wstring extraConfig = L""; // more lines for DravikVT.txt

    // Lays the workstation out, new: nothing taken from the server folder yet.
    void Lay(const std::wstring &server) {
        CreateDirectoryW(app.c_str(), nullptr);
        CreateDirectoryW(office.c_str(), nullptr);
        CopyFileW(test::WindowsPath(DRAVIK_LAUNCHER_EXE).c_str(), (app + L"\\DravikVT.exe").c_str(),
                  FALSE);
        CopyFileW(test::WindowsPath(DRAVIK_MSACCESS_EXE).c_str(),
                  (office + L"\\MSACCESS.EXE").c_str(), FALSE);
        WriteConfig(L"uxVTade.ade", server);
    }

    void WriteConfig(const std::wstring &frontEnd, const std::wstring &newFiles) {
        std::wstring text = L"* DravikVT\r\n"
                            L"NewFiles = " +
                            newFiles +
                            L"\r\n"
                            L"DefAccessPath = " +
                            office +
                            L"\\MSACCESS.EXE\r\n"
                            L"NewFE = " +
                            frontEnd +
                            L"\r\n"
                            L"SQLBaza = SRV 01\r\n"
                            L"Runtime = True\r\n" +
                            extraConfig;
        test::WriteBytes(app + L"\\DravikVT.txt", ToAnsi(text));
    }

    // DravikUser.exe starting this workstation's launcher for the user Ana on the
    // computer named.
    std::wstring PlayerCommand(const std::wstring &logPath, const std::wstring &computer,
                               const std::wstring &options, int timeoutMs) const {
        return L"\"" + test::WindowsPath(DRAVIK_USER_EXE) + L"\" --log \"" + logPath +
               L"\" --timeout-ms " + std::to_wstring(timeoutMs) + L" --env computername=" +
               computer + L" --env username=Ana --run \"" + app + L"\\DravikVT.exe\" " + options;
    }

    // The starts the stand-in noted. The shell starts it on its own; a start
    // that is coming shows within a moment of the launcher's end.
    Lines AccessStarts(std::size_t expected) const {
        Lines starts;
        for (int waited = 0; waited < 5000; waited += 50) {
            starts = test::ReadUtf8Lines(office + L"\\msaccess-started.log");
            if (starts.size() >= expected && waited >= 300) {
                break;
            }
            Sleep(50);
        }
        return starts;
    }

    std::wstring AccessStart() const {
        return L"cmdline=\"" + office + L"\\\\MSACCESS.EXE\" \"" + app +
               L"\\uxVTade.ade\" /user Admin /pwd /Runtime /Cmd SRV 01\tcwd=c:\\\tshow=2";
    }

    std::string Local(const std::wstring &name) const { return ReadBytes(app + L"\\" + name); }
};

// A deployment: root\app (the launcher), root\server, root\office (Access).
class Deployment : public Workstation {
public:
    explicit Deployment(const std::wstring &name) {
        root = TempFolder() + L"\\dravik-e2e\\" + name;
        app = root + L"\\app";
        server = root + L"\\server";
        office = root + L"\\office";
        CreateDirectoryW((TempFolder() + L"\\dravik-e2e").c_str(), nullptr);
        DeleteTree(root);
        CreateDirectoryW(root.c_str(), nullptr);
        CreateDirectoryW(server.c_str(), nullptr);
        Lay(server);
        test::WriteBytes(server + L"\\uxVTade.ade", kNewFrontEnd);
        test::WriteBytes(server + L"\\other.accde", "other v2");
        test::WriteBytes(server + L"\\RuxVT1.ade", "rux ade v2");
        test::WriteBytes(server + L"\\RUXVT2.accde", "rux accde v2");
        test::WriteBytes(server + L"\\Velkor_2007.exe", "companion v2");
    }

    // Another new workstation on the same server folder, in root\<name>.
    Workstation AddWorkstation(const std::wstring &name) const {
        Workstation other{root + L"\\" + name + L"\\app", root + L"\\" + name + L"\\office"};
        CreateDirectoryW((root + L"\\" + name).c_str(), nullptr);
        other.Lay(server);
        return other;
    }

    // This computer and user took the current version earlier: the local copies
    // are all there (older than the server's) and the record names them.
    void MakeRecorded(const std::wstring &frontEnd = L"uxVTade.ade") {
        test::WriteBytes(app + L"\\" + frontEnd, kOldFrontEnd);
        test::WriteBytes(app + L"\\RuxVT1.ade", "rux ade v1");
        test::WriteBytes(app + L"\\RUXVT2.accde", "rux accde v1");
        test::WriteBytes(app + L"\\Velkor_2007.exe", "companion v1");
        test::WriteBytes(server + L"\\Kolacici.txt", kRecord);
    }

    // Runs the launcher through DravikUser.exe; runs at the same moment need logs of their own.
    PlayerRun Play(const std::wstring &options, const std::wstring &logName = L"user.log") {
        std::wstring logPath = root + L"\\" + logName;
        PlayerRun run;
        GetLocalTime(&run.started);
        run.toolExit = test::RunAndWait(PlayerCommand(logPath, L"pc07", options, 30000), 60000);
        GetLocalTime(&run.ended);
        run.log = test::ReadUtf8Lines(logPath);
        return run;
    }

    std::string Record() const { return ReadBytes(server + L"\\Kolacici.txt"); }

    static const std::string kRecord;
    std::wstring root, server;
};

const std::string Deployment::kRecord = "PC07_ana\t\t1.2.2024. - 8:15:00\r\n";

// Each scenario gets its own folders and an empty list of trusted locations.
class Launcher : public ::testing::Test {
protected:
    void SetUp() override {
        ForgetTrustedLocations();
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        std::replace(name.begin(), name.end(), '/', '-');
        deployment_ = std::make_unique<Deployment>(std::wstring(name.begin(), name.end()));
    }
    void TearDown() override { ForgetTrustedLocations(); }

    Deployment &deployment() { return *deployment_; }

private:
    std::unique_ptr<Deployment> deployment_;
};

// The window shown once while the update ran. DravikUser.exe looks at it from
// another process while the copies go on, so it may first see it only after
// the status text was cleared; what it sees must still be one of the window's
// real states, in order. (The status text itself is pinned down by a scenario
// whose update stops at a message box.)
void ExpectStatusWindowDuringTheUpdate(const PlayerRun &run) {
    Lines seen;
    for (const std::wstring &line : run.log) {
        if (line.compare(0, 19, L"window-shown\tlabel=") == 0) {
            seen.push_back(line.substr(19));
        } else if (line.compare(0, 11, L"label\ttext=") == 0) {
            seen.push_back(line.substr(11));
        }
    }
    EXPECT_EQ(run.Lines(L"window-shown").size(), 1u);
    EXPECT_TRUE(seen == (Lines{kStatusText, L""}) || seen == Lines{kStatusText} ||
                seen == Lines{L""})
        << "labels seen: " << test::Utf8([&] {
               std::wstring all;
               for (const std::wstring &label : seen) {
                   all += L"[" + label + L"]";
               }
               return all;
           }());
}

// Normal start of a current workstation: no window, no message, Access once.
void ExpectQuietStart(const Deployment &d, const PlayerRun &run) {
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"window-shown"), Lines{});
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=0"});
    EXPECT_EQ(d.AccessStarts(1), Lines{d.AccessStart()});
}

// ---- Normal starts
// --------------------------------------------------------------------------------

TEST_F(Launcher, NewWorkstationCopiesEverythingRecordsItselfTrustsTheFolderAndStartsAccess) {
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);

    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), kNewFrontEnd);
    EXPECT_EQ(deployment().Local(L"RuxVT1.ade"), "rux ade v2");
    EXPECT_EQ(deployment().Local(L"RUXVT2.accde"), "rux accde v2");
    EXPECT_EQ(deployment().Local(L"Velkor_2007.exe"), "companion v2");
    EXPECT_EQ(deployment().Local(L"other.accde"), "<absent>");
    EXPECT_EQ(NamesIn(deployment().app),
              (Lines{L"DravikVT.exe", L"DravikVT.lock", L"DravikVT.txt", L"RUXVT2.accde",
                     L"RuxVT1.ade", L"Velkor_2007.exe", L"uxVTade.ade"}));

    std::string record = deployment().Record();
    std::vector<std::string> possible = PossibleRecordLines(L"PC07_ana", run.started, run.ended);
    EXPECT_NE(std::find(possible.begin(), possible.end(), record), possible.end())
        << "record: [" << record << "], first possible: [" << possible.front() << "]";

    RegValue path = ReadValue(L"Location0", L"Path");
    ASSERT_TRUE(path.present);
    EXPECT_EQ(path.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(test::Utf8(StringOf(path)), test::Utf8(deployment().root + L"\\"));
    RegValue subfolders = ReadValue(L"Location0", L"AllowSubfolders");
    ASSERT_TRUE(subfolders.present);
    EXPECT_EQ(subfolders.type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(subfolders.data.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const DWORD *>(subfolders.data.data()), 1u);
    EXPECT_EQ(TrustedLocationSlots(), Lines{L"Location0"});

    EXPECT_EQ(deployment().AccessStarts(1), Lines{deployment().AccessStart()});
    ExpectStatusWindowDuringTheUpdate(run);
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    EXPECT_EQ(run.Lines(L"prompt"), Lines{});
    EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=0"});
}

TEST_F(Launcher, UpdateShowsItsStatusTextAndWarnsOnceWhenTheCompanionIsMissingOnTheServer) {
    DeleteFileW((deployment().server + L"\\Velkor_2007.exe").c_str());
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    // The warning stops the update halfway, with the window up behind it.
    EXPECT_EQ(run.Lines(L"window-shown"),
              Lines{L"window-shown\tlabel=" + std::wstring(kStatusText)});
    EXPECT_EQ(run.Lines(L"message"),
              Lines{L"message\ttitle=Upozorenje\ticon=information\ttext=U tolmcommonu nedostaje "
                    L"Velkor_2007.exe"});
    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), kNewFrontEnd);
    EXPECT_EQ(deployment().Local(L"RUXVT2.accde"), "rux accde v2");
    EXPECT_EQ(deployment().Local(L"Velkor_2007.exe"), "<absent>");
    std::vector<std::string> possible = PossibleRecordLines(L"PC07_ana", run.started, run.ended);
    EXPECT_NE(std::find(possible.begin(), possible.end(), deployment().Record()), possible.end())
        << deployment().Record();
    EXPECT_EQ(deployment().AccessStarts(1), Lines{deployment().AccessStart()});
    EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=0"});
}

TEST_F(Launcher, RecordedWorkstationWithEveryFileCopiesNothingShowsNothingAndStartsAccess) {
    deployment().MakeRecorded();
    test::WriteBytes(deployment().server + L"\\Velkor_2007.exe", "companion v3");
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    ExpectQuietStart(deployment(), run);
    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), kOldFrontEnd);
    EXPECT_EQ(deployment().Local(L"RuxVT1.ade"), "rux ade v1");
    EXPECT_EQ(deployment().Local(L"Velkor_2007.exe"), "companion v1");
    EXPECT_EQ(deployment().Record(), Deployment::kRecord);
    // The trust is registered on every start, not only with an update.
    EXPECT_EQ(test::Utf8(StringOf(ReadValue(L"Location0", L"Path"))),
              test::Utf8(deployment().root + L"\\"));
}

TEST_F(Launcher, FrontEndOfAnotherNameNeedsNoReportFilesLocally) {
    deployment().WriteConfig(L"other.accde", deployment().server);
    deployment().MakeRecorded(L"other.accde");
    DeleteFileW((deployment().app + L"\\RuxVT1.ade").c_str());
    DeleteFileW((deployment().app + L"\\RUXVT2.accde").c_str());
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"window-shown"), Lines{});
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    EXPECT_EQ(deployment().Local(L"other.accde"), kOldFrontEnd);
    EXPECT_EQ(deployment().Local(L"RuxVT1.ade"), "<absent>");
    EXPECT_EQ(deployment().Record(), Deployment::kRecord);
    std::wstring start = deployment().AccessStart();
    start.replace(start.find(L"uxVTade.ade"), 11, L"other.accde");
    EXPECT_EQ(deployment().AccessStarts(1), Lines{start});
}

// ---- A recorded workstation that lacks a local file updates -------------------------------------

struct MissingLocalFile {
    const char *label;
    const wchar_t *file;
};

class RecordedWorkstationUpdates : public Launcher,
                                   public ::testing::WithParamInterface<MissingLocalFile> {};

TEST_P(RecordedWorkstationUpdates, WhenALocalFileIsMissing) {
    deployment().MakeRecorded();
    DeleteFileW((deployment().app + L"\\" + GetParam().file).c_str());
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    ExpectStatusWindowDuringTheUpdate(run);
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), kNewFrontEnd);
    EXPECT_EQ(deployment().Local(L"RuxVT1.ade"), "rux ade v2");
    EXPECT_EQ(deployment().Local(L"RUXVT2.accde"), "rux accde v2");
    EXPECT_EQ(deployment().Local(L"Velkor_2007.exe"), "companion v2");
    // A second line for the same key.
    std::string record = deployment().Record();
    EXPECT_EQ(record.compare(0, Deployment::kRecord.size(), Deployment::kRecord), 0) << record;
    std::vector<std::string> possible = PossibleRecordLines(L"PC07_ana", run.started, run.ended);
    EXPECT_NE(std::find(possible.begin(), possible.end(),
                        record.substr(std::min(record.size(), Deployment::kRecord.size()))),
              possible.end())
        << record;
    EXPECT_EQ(deployment().AccessStarts(1), Lines{deployment().AccessStart()});
}

INSTANTIATE_TEST_SUITE_P(PresenceRules, RecordedWorkstationUpdates,
                         ::testing::Values(MissingLocalFile{"FrontEnd", L"uxVTade.ade"},
                                           MissingLocalFile{"Companion", L"Velkor_2007.exe"},
                                           MissingLocalFile{"AdeReportFile", L"RuxVT1.ade"},
                                           MissingLocalFile{"AccdeReportFile", L"RUXVT2.accde"}),
                         [](const ::testing::TestParamInfo<MissingLocalFile> &p) {
                             return p.param.label;
                         });

// ---- Failures
// ------------------------------------------------------------------------------------

// The start-up failure: the message, no Access, nothing recorded.
// Command lines with a doubled separator before MSACCESS.EXE made single.
Lines OneSeparator(Lines lines) {
    for (std::wstring &line : lines) {
        const std::size_t doubled = line.find(L"\\\\MSACCESS.EXE");
        if (doubled != std::wstring::npos) {
            line.erase(doubled, 1);
        }
    }
    return lines;
}

// A failure as the launcher tells it: the system's text, then the files it concerns.
std::wstring FailureText(DWORD error, const Lines &paths) {
    std::wstring text = SystemText(error) + L" (";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        text += (i == 0 ? L"\"" : L" → \"") + paths[i] + L"\"";
    }
    return text + L")";
}

// The start-up failure message, Access not started, and the launcher's exit code 2.
void ExpectStartupFailure(const Deployment &d, const PlayerRun &run, DWORD error,
                          const Lines &paths) {
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"message"),
              Lines{kStartupFailureLine + test::Escape(FailureText(error, paths))});
    EXPECT_EQ(d.AccessStarts(0), Lines{});
    EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=2"});
}

TEST_F(Launcher, FrontEndMissingOnTheServerIsReportedAndAccessIsNotStarted) {
    DeleteFileW((deployment().server + L"\\uxVTade.ade").c_str());
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    // The copy the user knows is named, never the temporary file.
    ExpectStartupFailure(
        deployment(), run, ERROR_FILE_NOT_FOUND,
        {deployment().server + L"\\uxVTade.ade", deployment().app + L"\\uxVTade.ade"});
    EXPECT_EQ(deployment().Record(), "<absent>");
    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), "<absent>");
    EXPECT_EQ(NamesIn(deployment().app),
              (Lines{L"DravikVT.exe", L"DravikVT.lock", L"DravikVT.txt"}));
}

TEST_F(Launcher, UnreachableServerFolderIsReportedAndAccessIsNotStarted) {
    deployment().WriteConfig(L"uxVTade.ade", deployment().root + L"\\nema-servera");
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    ExpectStartupFailure(
        deployment(), run, ERROR_PATH_NOT_FOUND,
        {deployment().root + L"\\nema-servera\\uxVTade.ade", deployment().app + L"\\uxVTade.ade"});
    EXPECT_FALSE(Exists(deployment().root + L"\\nema-servera"));
    EXPECT_EQ(NamesIn(deployment().app),
              (Lines{L"DravikVT.exe", L"DravikVT.lock", L"DravikVT.txt"}));
}

TEST_F(Launcher, MissingConfigurationFileIsReportedAndTheLauncherEndsWithCode1) {
    DeleteFileW((deployment().app + L"\\DravikVT.txt").c_str());
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"message"),
              Lines{L"message\ttitle=DravikVT\ticon=exclamation\ttext=Dravik: Ne mogu pokrenuti "
                    L"program!\\r\\rError:" +
                    test::Escape(FailureText(ERROR_FILE_NOT_FOUND,
                                             {deployment().app + L"\\DravikVT.txt"}))});
    EXPECT_EQ(run.Lines(L"window-shown"), Lines{});
    EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=1"});
    EXPECT_EQ(deployment().AccessStarts(0), Lines{});
    EXPECT_EQ(deployment().Record(), "<absent>");
}

// After an Office upgrade or a typing error in DefAccessPath, no MSACCESS.EXE is
// where the launcher looks: said clearly, not a launcher that closes in silence.
TEST_F(Launcher, AccessMissingFromDefAccessPathIsReportedNamingTheProgram) {
    deployment().MakeRecorded();
    const std::wstring office = deployment().office;
    deployment().office = deployment().root + L"\\nema-accessa";
    deployment().WriteConfig(L"uxVTade.ade", deployment().server);
    deployment().office = office;
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    ExpectStartupFailure(deployment(), run, ERROR_FILE_NOT_FOUND,
                         {deployment().root + L"\\nema-accessa\\\\MSACCESS.EXE"});
}

TEST_F(Launcher, AllTrustedLocationSlotsTakenRefusesToStartAccessWithItsOwnMessage) {
    deployment().MakeRecorded();
    test::TakeEveryTrustedLocationSlot(WriteTrustedLocation);
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"message"),
              Lines{L"message\ttitle=DravikVT\ticon=none\ttext=Ne mogu dodijeliti prava na folder" +
                    test::Escape(deployment().app) + L"\\r\\nTesmar se neće pokrenuti!"});
    EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=4"});
    EXPECT_EQ(deployment().AccessStarts(0), Lines{});
    EXPECT_EQ(TrustedLocationSlots().size(), 100u);
    EXPECT_EQ(StringOf(ReadValue(L"Location0", L"Path")), L"D:\\Folder0\\");
}

// ---- Trusted locations under Office's policies -----------------------------------------------

// A setting below HKCU\Software\Policies\Microsoft\Office, as Group Policy writes it: a
// DWORD, or a string in which "@" stands for the deployment's folder without its drive.
void PutPolicy(const std::wstring &key, const wchar_t *name, DWORD type, std::wstring value,
               const std::wstring &root = L"") {
    HKEY handle = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\Policies\\Microsoft\\Office\\" + key).c_str(),
                    0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    const DWORD number = type == REG_DWORD ? std::stoul(value) : 0;
    if (value.find(L'@') != std::wstring::npos) {
        value.replace(value.find(L'@'), 1, root.substr(2));
    }
    RegSetValueExW(handle, name, 0, type,
                   type == REG_DWORD ? reinterpret_cast<const BYTE *>(&number)
                                     : reinterpret_cast<const BYTE *>(value.c_str()),
                   type == REG_DWORD ? 4 : static_cast<DWORD>((value.size() + 1) * 2));
    RegCloseKey(handle);
}

struct PolicyCase {
    const char *label;
    const wchar_t *key, *name;
    DWORD type;
    const wchar_t *value, *accessVersion;
    std::size_t slots14, slots16;
    const wchar_t *logged;
};

class UnderPolicy : public Launcher, public ::testing::WithParamInterface<PolicyCase> {};

// Access starts in every case, without a message box; the log names the setting.
TEST_P(UnderPolicy, WritesOnlyTheSlotsThatCount) {
    const PolicyCase &c = GetParam();
    PutPolicy(c.key, c.name, c.type, c.value, deployment().root);
    deployment().extraConfig = L"Log = True\r\nAccessVersion = " + std::wstring(c.accessVersion);
    deployment().WriteConfig(L"uxVTade.ade", deployment().server);
    deployment().MakeRecorded();
    ExpectQuietStart(deployment(), deployment().Play(L""));
    EXPECT_EQ(TrustedLocationSlots().size(), c.slots14);
    EXPECT_EQ(TrustedLocationSlots(L"Software\\Microsoft\\Office\\16.0\\Access\\Security\\Trusted "
                                   L"Locations")
                  .size(),
              c.slots16);
    const std::string log = ReadBytes(deployment().app + L"\\DravikVT.log");
    EXPECT_NE(log.find(test::Utf8(c.logged)), std::string::npos) << log;
}

const wchar_t kCommon[] = L"14.0\\Common\\Security\\Trusted Locations";
const wchar_t kAccess[] = L"14.0\\Access\\Security\\Trusted Locations";

INSTANTIATE_TEST_SUITE_P(
    TrustedLocation, UnderPolicy,
    ::testing::Values(
        PolicyCase{
            "UserLocationsOff", kCommon, L"Allow User Locations", REG_DWORD, L"0", L"", 0, 0,
            L"14.0: not written: user locations are off by policy (HKCU\\Software\\Policies\\"
            L"Microsoft\\Office\\14.0\\Common\\Security\\Trusted Locations\\Allow User "
            L"Locations = 0)"},
        PolicyCase{"AllLocationsDisabled", kAccess, L"AllLocationsDisabled", REG_DWORD, L"1", L"",
                   0, 0, L"Trusted Locations\\AllLocationsDisabled = 1)"},
        PolicyCase{"CoveredInTheAccessKey", L"14.0\\Access\\Security\\Trusted Locations\\Location1",
                   L"Path", REG_SZ, L"C:@\\", L"", 0, 0, L"not written: a policy location covers"},
        PolicyCase{"CoveredOfficeWideWithSystemDrive",
                   L"14.0\\Common\\Security\\Trusted Locations\\Any name", L"Path", REG_EXPAND_SZ,
                   L"%SystemDrive%@", L"", 0, 0, L"not written: a policy location covers"},
        PolicyCase{"ALocationElsewhere", L"14.0\\Access\\Security\\Trusted Locations\\Location1",
                   L"Path", REG_SZ, L"D:\\Other\\", L"", 1, 0, L"14.0: Location0 registered"},
        PolicyCase{"OnlyFor16", L"16.0\\Common\\Security\\Trusted Locations",
                   L"Allow User Locations", REG_DWORD, L"0", L"16.0", 1, 0,
                   L"16.0: not written: user locations are off"}),
    [](const ::testing::TestParamInfo<PolicyCase> &p) { return p.param.label; });

TEST_F(Launcher, TheMaintenanceWindowSaysWhyNoTrustedLocationIsWritten) {
    PutPolicy(kCommon, L"Allow User Locations", REG_DWORD, L"0");
    PlayerRun run =
        deployment().Play(L"--hold ctrl,shift prompt:zelk message wait-window click:Kraj");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.Lines(L"message"),
              Lines{L"message\ttitle=Upozorenje\ticon=information\ttext=Pouzdana lokacija nije "
                    L"upisana: pravila sustava Office to ne dopuštaju."});
    EXPECT_EQ(TrustedLocationSlots(), Lines{});
}

// ---- Where the program folder is -------------------------------------------------------------

struct Placement {
    const char *label;
    const KNOWNFOLDERID *in; // nullptr: the drive C:
    const wchar_t *folder;   // the program folder in it
    const wchar_t *trusted;  // the slot's Path, after the known folder; "" for no slot
};

class ProgramFolderAt : public Launcher, public ::testing::WithParamInterface<Placement> {
protected:
    std::wstring Base() const {
        PWSTR path = nullptr;
        std::wstring base = L"C:";
        if (GetParam().in && SUCCEEDED(SHGetKnownFolderPath(*GetParam().in, 0, nullptr, &path))) {
            base = path;
        }
        CoTaskMemFree(path);
        return base;
    }
    // What a start leaves there: the folder it made, or the files put in a known folder.
    void TearDown() override {
        const std::wstring sub = GetParam().folder;
        if (sub.empty()) {
            for (const wchar_t *name :
                 {L"DravikVT.exe", L"DravikVT.txt", L"DravikVT.lock", L"uxVTade.ade", L"RuxVT1.ade",
                  L"RUXVT2.accde", L"Velkor_2007.exe"}) {
                DeleteFileW((Base() + L"\\" + name).c_str());
            }
        } else {
            DeleteTree(Base() + sub.substr(0, sub.find(L'\\', 1)));
        }
        Launcher::TearDown();
    }
};

// A broad parent is never trusted: the program folder takes its place, and a program
// folder that is itself broad is not trusted at all. Access starts in every case.
TEST_P(ProgramFolderAt, TrustsNoBroadFolder) {
    const std::wstring app = Base() + GetParam().folder;
    CreateDirectoryW(app.substr(0, app.find_last_of(L'\\')).c_str(), nullptr);
    Workstation w{app, deployment().root + L"\\office-here"};
    w.Lay(deployment().server);
    const std::wstring logPath = deployment().root + L"\\user.log";
    PlayerRun run;
    run.toolExit = test::RunAndWait(w.PlayerCommand(logPath, L"pc07", L"", 30000), 60000);
    run.log = test::ReadUtf8Lines(logPath);
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    EXPECT_EQ(w.AccessStarts(1), Lines{w.AccessStart()});
    const std::wstring trusted = *GetParam().trusted ? Base() + GetParam().trusted : L"";
    EXPECT_EQ(test::Utf8(StringOf(ReadValue(L"Location0", L"Path"))), test::Utf8(trusted));
    EXPECT_EQ(TrustedLocationSlots().size(), trusted.empty() ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    TrustedLocation, ProgramFolderAt,
    ::testing::Values(Placement{"DriveTop", nullptr, L"\\DravikVT", L"\\DravikVT\\"},
                      Placement{"Profile", &FOLDERID_Profile, L"\\DravikVT", L"\\DravikVT\\"},
                      Placement{"Downloads", &FOLDERID_Downloads, L"", L""},
                      Placement{"LocalAppData", &FOLDERID_LocalAppData, L"\\Dravik\\DravikVT",
                                L"\\Dravik\\"}),
    [](const ::testing::TestParamInfo<Placement> &p) { return p.param.label; });

// The front end is open in Access (or anything else that refuses sharing)
// while an update is due.
PlayerRun PlayWithLocalFrontEndHeld(Deployment &d) {
    d.MakeRecorded();
    DeleteFileW((d.app + L"\\Velkor_2007.exe").c_str()); // an update is due
    HANDLE held = CreateFileW((d.app + L"\\uxVTade.ade").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(held, INVALID_HANDLE_VALUE);
    PlayerRun run = d.Play(L"");
    CloseHandle(held);
    return run;
}

TEST_F(Launcher, LocalFrontEndHeldOpenByAnotherProgramFailsTheUpdateAsASharingViolation) {
    PlayerRun run = PlayWithLocalFrontEndHeld(deployment());
    SCOPED_TRACE(test::Utf8(run.All()));
    ExpectStartupFailure(
        deployment(), run, ERROR_SHARING_VIOLATION,
        {deployment().server + L"\\uxVTade.ade", deployment().app + L"\\uxVTade.ade"});
    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), kOldFrontEnd);
    EXPECT_EQ(deployment().Record(), Deployment::kRecord);
    for (const std::wstring &name : NamesIn(deployment().app)) {
        EXPECT_EQ(name.find(L".dravik-tmp"), std::wstring::npos) << test::Utf8(name);
    }
}

// Server files marked read-only, and copies an interrupted update left behind
// (read-only too): the copies come out as ordinary files, and nothing is left.
TEST_F(Launcher, ReadOnlyServerFilesGiveOrdinaryCopiesAndLeftoverCopiesAreRemoved) {
    const Lines copied = {L"RUXVT2.accde", L"RuxVT1.ade", L"Velkor_2007.exe", L"uxVTade.ade"};
    for (const std::wstring &name : copied) {
        SetFileAttributesW((deployment().server + L"\\" + name).c_str(),
                           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    }
    for (const wchar_t *leftover : {L"uxVTade.ade.dravik-tmp", L"uxVTade.ade.1.dravik-tmp"}) {
        const std::wstring path = deployment().app + L"\\" + leftover;
        test::WriteBytes(path, "half a copy");
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    PlayerRun run = deployment().Play(L"");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    for (const std::wstring &name : copied) {
        const DWORD attributes = GetFileAttributesW((deployment().app + L"\\" + name).c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << test::Utf8(name);
        EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u)
            << test::Utf8(name) << " " << attributes;
    }
    for (const std::wstring &name : NamesIn(deployment().app)) {
        EXPECT_EQ(name.find(L".dravik-tmp"), std::wstring::npos) << test::Utf8(name);
    }
    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), kNewFrontEnd);
    EXPECT_EQ(deployment().AccessStarts(1), Lines{deployment().AccessStart()});
}

// A double click: two launchers on one program folder at the same moment. One
// updates, the other waits for it; both start Access on a whole front end.
TEST_F(Launcher, TwoLaunchersStartedTogetherOnOneFolderBothStartAccessOnAWholeCopy) {
    const std::string frontEnd = std::string(40 * 1024 * 1024, 'F') + "end of v2";
    test::WriteBytes(deployment().server + L"\\uxVTade.ade", frontEnd);
    PlayerRun first, second;
    std::thread other([&] { second = deployment().Play(L"", L"second.log"); });
    first = deployment().Play(L"");
    other.join();
    SCOPED_TRACE(test::Utf8(first.All() + L"--- second\n" + second.All()));
    for (const PlayerRun *run : {&first, &second}) {
        EXPECT_EQ(run->toolExit, 0);
        EXPECT_EQ(run->Lines(L"message"), Lines{});
        EXPECT_EQ(run->Lines(L"exit"), Lines{L"exit\tcode=0"});
    }
    EXPECT_TRUE(deployment().Local(L"uxVTade.ade") == frontEnd);
    EXPECT_EQ(deployment().AccessStarts(2),
              (Lines{deployment().AccessStart(), deployment().AccessStart()}));
    for (const std::wstring &name : NamesIn(deployment().app)) {
        EXPECT_EQ(name.find(L".dravik-tmp"), std::wstring::npos) << test::Utf8(name);
    }
}

// ---- Many workstations on one record file ---------------------------------------------------

// The record file's lines, each with its line end, by the key before the tabs.
std::multimap<std::wstring, std::string> RecordLinesByKey(const std::string &record) {
    std::multimap<std::wstring, std::string> lines;
    for (std::size_t start = 0; start < record.size();) {
        std::size_t end = record.find('\n', start);
        end = end == std::string::npos ? record.size() : end + 1;
        std::string line = record.substr(start, end - start);
        std::string key = line.substr(0, line.find('\t'));
        lines.emplace(std::wstring(key.begin(), key.end()), line);
        start = end;
    }
    return lines;
}

// The morning after a new version is published: twenty workstations that never
// took it start at one moment on one server folder.
TEST_F(Launcher, TwentyNewWorkstationsStartingAtOnceAllUpdateAndRecordOneWholeLineEach) {
    const int count = 20;
    std::string frontEnd(3 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < frontEnd.size(); ++i) {
        frontEnd[i] = static_cast<char>(i * 7 + i / 4096);
    }
    test::WriteBytes(deployment().server + L"\\uxVTade.ade", frontEnd);
    const std::wstring go = L"DravikE2E-go-" + std::to_wstring(GetCurrentProcessId());
    HANDLE goEvent = CreateEventW(nullptr, TRUE, FALSE, go.c_str());
    ASSERT_NE(goEvent, nullptr);

    std::vector<Workstation> stations;
    std::vector<std::wstring> logs;
    std::vector<HANDLE> players;
    for (int i = 1; i <= count; ++i) {
        const std::wstring name = L"ws" + std::to_wstring(i);
        stations.push_back(deployment().AddWorkstation(name));
        logs.push_back(deployment().root + L"\\" + name + L"\\user.log");
        players.push_back(StartProcess(stations.back().PlayerCommand(
            logs.back(), L"pc" + std::to_wstring(i), L"--go " + go, 240000)));
        ASSERT_NE(players.back(), nullptr);
    }
    // Every launcher is loaded and waits for the same moment.
    for (int waited = 0; waited < 120000; waited += 100) {
        if (std::all_of(logs.begin(), logs.end(), [](const std::wstring &log) {
                return !test::ReadUtf8Lines(log).empty();
            })) {
            break;
        }
        Sleep(100);
    }
    SYSTEMTIME started{}, ended{};
    GetLocalTime(&started);
    SetEvent(goEvent);
    const DWORD waitedFor =
        WaitForMultipleObjects(static_cast<DWORD>(players.size()), players.data(), TRUE, 300000);
    GetLocalTime(&ended);
    CloseHandle(goEvent);
    EXPECT_LT(waitedFor, WAIT_OBJECT_0 + players.size()) << "the players did not all end";

    const std::string record = deployment().Record();
    const auto recorded = RecordLinesByKey(record);
    int failed = 0;
    for (int i = 1; i <= count; ++i) {
        const Workstation &station = stations[static_cast<std::size_t>(i - 1)];
        PlayerRun run;
        run.log = test::ReadUtf8Lines(logs[static_cast<std::size_t>(i - 1)]);
        DWORD playerExit = 1;
        GetExitCodeProcess(players[static_cast<std::size_t>(i - 1)], &playerExit);
        CloseHandle(players[static_cast<std::size_t>(i - 1)]);
        SCOPED_TRACE("workstation " + std::to_string(i) + "\n" + test::Utf8(run.All()));
        EXPECT_EQ(playerExit, 0u);
        if (!run.Lines(L"message").empty()) {
            ++failed;
        }
        EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=0"});
        EXPECT_TRUE(station.Local(L"uxVTade.ade") == frontEnd);
        EXPECT_EQ(station.Local(L"Velkor_2007.exe"), "companion v2");
        // Under this load Wine's shell now and then hands the program on with the
        // doubled separator before MSACCESS.EXE made single; the start is the same.
        EXPECT_EQ(OneSeparator(station.AccessStarts(1)), OneSeparator({station.AccessStart()}));
        // One whole line for this workstation, stamped while the burst ran.
        const std::wstring key = L"PC" + std::to_wstring(i) + L"_ana";
        EXPECT_EQ(recorded.count(key), 1u) << record;
        const auto line = recorded.find(key);
        if (line == recorded.end()) {
            continue;
        }
        const std::vector<std::string> possible = PossibleRecordLines(key, started, ended);
        EXPECT_NE(std::find(possible.begin(), possible.end(), line->second), possible.end())
            << line->second;
    }
    EXPECT_EQ(failed, 0) << failed << " of " << count << " workstations failed";
    EXPECT_EQ(recorded.size(), static_cast<std::size_t>(count)) << record;
}

// A workstation of the older kind appends its line, holding the record file with
// append access and letting others only read, while a current workstation starts.
TEST_F(Launcher, RecordedWorkstationStartsQuietlyWhileAnotherAppendsToTheRecordFile) {
    deployment().MakeRecorded();
    HANDLE appender = CreateFileW((deployment().server + L"\\Kolacici.txt").c_str(),
                                  FILE_APPEND_DATA | FILE_READ_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(appender, INVALID_HANDLE_VALUE);
    PlayerRun run = deployment().Play(L"");
    CloseHandle(appender);
    SCOPED_TRACE(test::Utf8(run.All()));
    ExpectQuietStart(deployment(), run);
    EXPECT_EQ(deployment().Record(), Deployment::kRecord);
}

// Another program reads the record file, letting others read, write and delete,
// while a new workstation records itself.
TEST_F(Launcher, NewWorkstationRecordsItselfWhileAnotherProgramReadsTheRecordFile) {
    const std::string earlier = "PC01_ivo\t\t1.2.2024. - 8:15:00\r\n";
    test::WriteBytes(deployment().server + L"\\Kolacici.txt", earlier);
    HANDLE reader = CreateFileW((deployment().server + L"\\Kolacici.txt").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    PlayerRun run = deployment().Play(L"");
    CloseHandle(reader);
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), kNewFrontEnd);
    const std::string record = deployment().Record();
    ASSERT_EQ(record.compare(0, earlier.size(), earlier), 0) << record;
    const std::vector<std::string> possible =
        PossibleRecordLines(L"PC07_ana", run.started, run.ended);
    EXPECT_NE(std::find(possible.begin(), possible.end(), record.substr(earlier.size())),
              possible.end())
        << record;
    EXPECT_EQ(deployment().AccessStarts(1), Lines{deployment().AccessStart()});
}

// ---- Maintenance mode
// -----------------------------------------------------------------------------

TEST_F(Launcher, MaintenanceCodeOpensTheEmptyWindowThatStartsNothingUntilAskedAndKrajEnds) {
    // A new workstation: a normal start would copy and start Access.
    PlayerRun run =
        deployment().Play(L"--hold ctrl,shift prompt:zelk wait-window sleep:1000 click:Kraj");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"prompt"), Lines{L"prompt\ttitle=DravikVT\ttext=Šifra ?"});
    EXPECT_EQ(run.Lines(L"window-shown"), Lines{L"window-shown\tlabel="});
    EXPECT_EQ(run.Lines(L"click"), Lines{L"click\tcaption=Kraj"});
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=0"});
    EXPECT_EQ(deployment().AccessStarts(0), Lines{});
    EXPECT_EQ(NamesIn(deployment().app), (Lines{L"DravikVT.exe", L"DravikVT.txt"}));
    EXPECT_EQ(deployment().Record(), "<absent>");
}

TEST_F(Launcher, MaintenanceButtonsStartAccessFetchTheCurrentFrontEndAgainAndKeepTheWindow) {
    deployment().MakeRecorded();
    PlayerRun run =
        deployment().Play(L"--hold ctrl,shift prompt:zelk wait-window \"click:Pokreni program\" "
                          L"\"wait-file:" +
                          deployment().office +
                          L"\\msaccess-started.log\" sleep:300 wait-window "
                          L"\"click:Uzmi novi MDA\" sleep:1000 wait-window click:Kraj");
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"window-shown"), Lines{L"window-shown\tlabel="});
    EXPECT_EQ(run.Lines(L"click"),
              (Lines{L"click\tcaption=Pokreni program", L"click\tcaption=Uzmi novi MDA",
                     L"click\tcaption=Kraj"}));
    // Still open after each button, the label blank again after the update.
    EXPECT_EQ(run.Lines(L"window"), (Lines{L"window\tvisible\tlabel=", L"window\tvisible\tlabel=",
                                           L"window\tvisible\tlabel="}));
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=0"});
    EXPECT_EQ(deployment().AccessStarts(1), Lines{deployment().AccessStart()});
    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), kNewFrontEnd);
    EXPECT_EQ(deployment().Local(L"Velkor_2007.exe"), "companion v2");
    std::string record = deployment().Record();
    EXPECT_EQ(record.compare(0, Deployment::kRecord.size(), Deployment::kRecord), 0) << record;
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 2) << record;
}

struct GateAnswer {
    const char *label;
    const wchar_t *action;
    const wchar_t *logged;
};

class MaintenanceGateFallsThrough : public Launcher,
                                    public ::testing::WithParamInterface<GateAnswer> {};

TEST_P(MaintenanceGateFallsThrough, ToANormalStart) {
    PlayerRun run = deployment().Play(std::wstring(L"--hold ctrl,shift ") + GetParam().action);
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.toolExit, 0);
    EXPECT_EQ(run.Lines(L"prompt"), Lines{L"prompt\ttitle=DravikVT\ttext=Šifra ?"});
    EXPECT_EQ(run.Lines(L"prompt-answer"), Lines{GetParam().logged});
    EXPECT_EQ(run.Lines(L"message"), Lines{});
    EXPECT_EQ(run.Lines(L"exit"), Lines{L"exit\tcode=0"});
    EXPECT_EQ(deployment().Local(L"uxVTade.ade"), kNewFrontEnd);
    EXPECT_EQ(deployment().AccessStarts(1), Lines{deployment().AccessStart()});
}

INSTANTIATE_TEST_SUITE_P(
    Maintenance, MaintenanceGateFallsThrough,
    ::testing::Values(
        GateAnswer{"WrongCode", L"prompt:Zelk", L"prompt-answer\tbutton=ok\ttext=Zelk"},
        GateAnswer{"Cancel", L"prompt-cancel", L"prompt-answer\tbutton=cancel\ttext="},
        GateAnswer{"Escape", L"prompt-escape", L"prompt-answer\tbutton=escape\ttext="}),
    [](const ::testing::TestParamInfo<GateAnswer> &p) { return p.param.label; });

class OneKeyAlone : public Launcher, public ::testing::WithParamInterface<const wchar_t *> {};

TEST_P(OneKeyAlone, AsksNothingAndStartsNormally) {
    deployment().MakeRecorded();
    PlayerRun run = deployment().Play(std::wstring(L"--hold ") + GetParam());
    SCOPED_TRACE(test::Utf8(run.All()));
    EXPECT_EQ(run.Lines(L"keys").size(), 2u);
    EXPECT_EQ(run.Lines(L"keys").front(), std::wstring(L"keys\tdown=") + GetParam());
    EXPECT_EQ(run.Lines(L"prompt"), Lines{});
    ExpectQuietStart(deployment(), run);
}

INSTANTIATE_TEST_SUITE_P(Maintenance, OneKeyAlone, ::testing::Values(L"ctrl", L"shift"),
                         [](const ::testing::TestParamInfo<const wchar_t *> &p) {
                             return std::wstring(p.param) == L"ctrl" ? "CtrlAlone" : "ShiftAlone";
                         });

} // namespace
} // namespace dravik
