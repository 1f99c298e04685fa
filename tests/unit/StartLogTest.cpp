#include <gtest/gtest.h>

#include <algorithm>

#include "launcher/Launcher.h"
#include "tests/unit/Scene.h"

namespace dravik::test {
namespace {

const Text kLog = kProgramFolder + L"\\DravikVT.log";
const std::string kStamp = "8.12.2026. 9:15:00  ";
const std::string kStarted = "DravikVT " DRAVIK_VERSION " started, user PC07_ana";
const std::string kAccessStarted = "Access started: C:\\Office14\\\\MSACCESS.EXE "
                                   "\"C:\\Apps\\DravikVT\\uxVTade.ade\" /user Admin /pwd /Cmd "
                                   "(left out)";

struct StartLogTest : ::testing::Test, Scene {
    StartLogTest() {
        Config(L"NewFiles = \\\\srv\\dist\r\nDefAccessPath = C:\\Office14\r\nNewFE = "
               L"uxVTade.ade\r\nSQLBaza = Server=db;Pwd=tajna\r\nLog = True\r\n");
        ServerFiles();
    }

    // The events of the log, each checked for its date and time and then without
    // them; the log must begin with the byte-order mark.
    std::vector<std::string> Events() {
        std::string bytes = platform.FileBytes(kLog).value_or("");
        EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
        std::vector<std::string> events;
        for (std::size_t at = 3, end; (end = bytes.find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            std::string line = bytes.substr(at, end - at);
            EXPECT_EQ(line.rfind(kStamp, 0), 0u) << line;
            events.push_back(line.substr(kStamp.size()));
        }
        return events;
    }
};

TEST_F(StartLogTest, AnUpdateLogsItsReasonsCopiesRecordLocationAndStart) {
    platform.duringCopy = [this](const Text &) { platform.clockMs += 40; };
    EXPECT_EQ(RunLauncher(platform), kExitAccessStarted);
    const std::string here = "C:\\Apps\\DravikVT\\", server = "\\\\srv\\dist\\";
    EXPECT_EQ(
        Events(),
        (std::vector<std::string>{
            kStarted,
            "update needed: PC07_ana not recorded in " + server + "Kolacici.txt",
            "update needed: no " + here + "uxVTade.ade",
            "update needed: no " + here + "ruxvt*.ade",
            "update needed: no " + here + "Velkor_2007.exe",
            "update needed: no " + here + "ruxvt*.accde",
            "copied " + server + "uxVTade.ade to " + here + "uxVTade.ade, 5 bytes in 40 ms",
            "copied " + server + "ruxvt1.ade to " + here + "RuxVT1.ade, 14 bytes in 40 ms",
            "copied " + server + "ruxvt2.accde to " + here + "RuxVT2.accde, 16 bytes in 40 ms",
            "copied " + server + "Velkor_2007.exe to " + here +
                "Velkor_2007.exe, 12 bytes in 40 ms",
            "recorded PC07_ana in " + server + "Kolacici.txt",
            "trusted location for Access 14.0: Location0 registered",
            kAccessStarted,
            "ended, exit code 0",
        }));
}

// A current start, then one that fails: each appends its lines, and the failure
// comes with the system's code, its Croatian letters in UTF-8.
TEST_F(StartLogTest, ACurrentStartAndAFailedOneAppendTheirLines) {
    LocalFiles();
    Recorded();
    platform.PutRegistryString(
        L"Software\\Microsoft\\Office\\14.0\\Access\\Security\\Trusted Locations\\Location3",
        L"Path", L"C:\\Apps\\" + Text(1, L'\0'));
    EXPECT_EQ(RunLauncher(platform), kExitAccessStarted);
    platform.FailCall(FakeCall::StartProgram, 1, L"Pristup odbijen, zaključano.",
                      FailureKind::AccessDenied, 5);
    EXPECT_EQ(RunLauncher(platform), kExitStartupFailed);
    const std::string current = "up to date: no update",
                      found = "trusted location for Access 14.0: Location3 found";
    EXPECT_EQ(Events(),
              (std::vector<std::string>{kStarted, current, found, kAccessStarted,
                                        "ended, exit code 0", kStarted, current, found,
                                        "failure: Pristup odbijen, zaklju\xC4\x8D"
                                        "ano. (\"C:\\Office14\\\\MSACCESS.EXE\") [system code 5]",
                                        "ended, exit code 2"}));
}

// The state of each version, with the setting behind it, and what VBAWarnings then means.
TEST_F(StartLogTest, APolicyThatStopsTheRegistrationIsNamedWithVbaWarnings) {
    LocalFiles();
    Recorded();
    Config(L"NewFiles = \\\\srv\\dist\r\nNewFE = uxVTade.ade\r\nAccessVersion = 16.0\r\nLog = "
           L"True\r\n");
    PutOfficeDword(L"16.0", L"Common\\Security\\Trusted Locations", L"Allow User Locations", 0);
    PutOfficeDword(L"16.0", L"Access\\Security", L"VBAWarnings", 3);
    EXPECT_EQ(RunLauncher(platform), kExitAccessStarted);
    const std::vector<std::string> events = Events();
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[2], "trusted location for Access 14.0: Location0 registered");
    EXPECT_EQ(events[3], "trusted location for Access 16.0: not written: user locations are off "
                         "by policy (HKCU\\Software\\Policies\\Microsoft\\Office\\16.0\\Common\\"
                         "Security\\Trusted Locations\\Allow User Locations = 0)");
    EXPECT_EQ(events[4],
              "trusted location for Access 16.0: Access will refuse the front end unless "
              "it is signed (HKCU\\Software\\Policies\\Microsoft\\Office\\16.0\\Access\\"
              "Security\\VBAWarnings = 3)");
}

// A log another program holds is tried once, and the start goes on as without it.
TEST_F(StartLogTest, AnUnwritableLogIsSkippedWithoutDelayingTheStart) {
    platform.HoldFile(kLog, FakeHold::Exclusive);
    EXPECT_EQ(RunLauncher(platform), kExitAccessStarted);
    EXPECT_EQ(Local(L"uxVTade.ade"), "FE v2");
    EXPECT_EQ(platform.starts.size(), 1u);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(platform.sleptMilliseconds, 0);
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), L"AppendToLog:" + kLog), 1);
    EXPECT_FALSE(platform.HasFile(kLog));
}

// Without "Log = True", in any other spelling or with no Log line, no log is written.
TEST_F(StartLogTest, TheLogIsOffUnlessSwitchedOn) {
    LocalFiles();
    Recorded();
    for (const wchar_t *line : {L"", L"Log = False\r\n", L"Log = true\r\n"}) {
        Config(Text(L"NewFiles = \\\\srv\\dist\r\nNewFE = uxVTade.ade\r\n") + line);
        EXPECT_EQ(RunLauncher(platform), kExitAccessStarted);
        EXPECT_FALSE(platform.HasFile(kLog)) << Utf8(line);
    }
}

// A log of 256 KB moves to DravikVT.log.1 before a start writes to it; one byte
// short, it takes that start's first line, and moves only at the next line.
TEST_F(StartLogTest, ALogMovesAsideOnceItHoldsTheLimit) {
    LocalFiles();
    Recorded();
    for (const std::size_t size : {256 * 1024 - 1, 256 * 1024}) {
        const std::string before(size, 'x');
        platform.PutFile(kLog, before);
        EXPECT_EQ(RunLauncher(platform), kExitAccessStarted);
        const std::string older = platform.FileBytes(kLog + L".1").value_or("");
        EXPECT_EQ(older.rfind(before, 0), 0u) << size;
        EXPECT_EQ(older.size() == size, size == 256 * 1024) << size;
    }
}

} // namespace
} // namespace dravik::test
