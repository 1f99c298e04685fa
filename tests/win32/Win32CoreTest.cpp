// The Win32 platform services against the real system (run under Wine in CI):
// ANSI files, the folder search, the registry and starting a program.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/SystemPlatform.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32ProgramFolder.h"
#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"

namespace dravik {
namespace {

using test::ReadBytes;
using test::WriteBytes;

std::wstring OwnExeFolder() {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring FailureText(const std::function<void()> &action) {
    try {
        action();
    } catch (const Failure &failure) {
        return failure.Description();
    }
    return L"<no failure>";
}

class Win32CoreTest : public ::testing::Test {
protected:
    std::unique_ptr<PlatformServices> platform_ = MakeSystemPlatform();
    PlatformServices &platform = *platform_;
    test::ScratchFolder scratch;
    // A path in the test's scratch folder.
    std::wstring At(const std::wstring &name) const { return scratch.Windows(name); }
};

// ---- Program, clock and environment ---------------------------------------------------------

TEST_F(Win32CoreTest, SystemPlatformIsWin32) {
    EXPECT_NE(dynamic_cast<Win32Platform *>(platform_.get()), nullptr);
}

TEST_F(Win32CoreTest, ProgramFolderIsTheExecutablesFolderWithoutSeparator) {
    const Text folder = platform.ProgramFolderPath();
    EXPECT_EQ(folder, OwnExeFolder());
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), L'\\');
}

// However the program was started, its folder has one spelling; a folder the ANSI
// file functions cannot spell fails, naming it, instead of becoming a look-alike.
TEST_F(Win32CoreTest, ProgramFolderHasOneSpellingAndOneTheFilesCanUse) {
    const std::wstring folder = At(L"Dravik Program Folder");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    WriteBytes(folder + L"\\DravikVT.exe", "exe");
    wchar_t shortPath[MAX_PATH + 1] = {};
    ASSERT_GT(::GetShortPathNameW((folder + L"\\DravikVT.exe").c_str(), shortPath, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortPath).find(L'~'), std::wstring::npos) << "no 8.3 name";
    EXPECT_EQ(ProgramFolderOf(shortPath), folder);
    EXPECT_EQ(ProgramFolderOf(L"Q:\\NEMA~1\\DravikVT.exe"), L"Q:\\NEMA~1"); // cannot be read
    EXPECT_EQ(ProgramFolderOf(L"C:\\DravikVT.exe"), L"C:\\");
    EXPECT_EQ(ProgramFolderOf(L"Q:\\Šifra Đurđa\\x.exe"), L"Q:\\Šifra Đurđa");
    for (const std::wstring lookAlike : {L"Q:\\Dravik \u0100", L"Q:\\\u03A9mega"}) {
        EXPECT_NE(FailureText([&] { ProgramFolderOf(lookAlike + L"\\x.exe"); }).find(lookAlike),
                  std::wstring::npos);
        EXPECT_NE(FailureText([&] {
                      ReadAllLines(platform, lookAlike + L"\\DravikVT.txt");
                  }).find(lookAlike),
                  std::wstring::npos);
    }
}

TEST_F(Win32CoreTest, EnvironmentNameIgnoresCaseAndUnsetIsEmpty) {
    ASSERT_TRUE(::SetEnvironmentVariableW(L"DravikCoreProbe", L"Vrijednost Žđ"));
    EXPECT_EQ(platform.GetEnvVar(L"DRAVIKCOREPROBE"), L"Vrijednost Žđ");
    EXPECT_EQ(platform.GetEnvVar(L"dravikcoreprobe"), L"Vrijednost Žđ");
    ::SetEnvironmentVariableW(L"DravikCoreProbe", nullptr);
    EXPECT_EQ(platform.GetEnvVar(L"DravikCoreProbe"), L"");
    const std::wstring longValue(5000, L'x');
    ASSERT_TRUE(::SetEnvironmentVariableW(L"DravikCoreLong", longValue.c_str()));
    EXPECT_EQ(platform.GetEnvVar(L"DravikCoreLong"), longValue);
}

// A user name with a letter the ANSI code page lacks ("à" in 1250) must come back
// from the record file as it was looked up, or that user would update on every start.
TEST_F(Win32CoreTest, EnvironmentValuesReadBackFromAnsiFilesUnchanged) {
    ASSERT_TRUE(::SetEnvironmentVariableW(L"DravikCoreUser", L"Mà\x4E2Dčedo"));
    const Text user = platform.GetEnvVar(L"DravikCoreUser");
    platform.AppendLine(At(L"Kolacici.txt"), L"PC07_" + user + L"\t\tx");
    const std::vector<Text> lines = ReadAllLines(platform, At(L"Kolacici.txt"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"PC07_" + user + L"\t\tx");
    EXPECT_EQ(user.substr(3), L"čedo"); // the code page's own letters stay
    ::SetEnvironmentVariableW(L"DravikCoreUser", nullptr);
}

TEST_F(Win32CoreTest, DateIsShortFormatAndTimeIsLongFormat) {
    wchar_t shortDate[100] = {}, longDate[100] = {}, longTime[100] = {}, shortTime[100] = {};
    ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, shortDate, 100);
    ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, nullptr, nullptr, longDate, 100);
    ::GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, shortTime, 100);
    const Text date = platform.DateText();
    const Text time = platform.TimeText();
    ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, longTime, 100);
    EXPECT_EQ(date, shortDate);
    EXPECT_NE(date, longDate);
    // The long format carries the seconds; a second may have passed in between.
    EXPECT_GT(time.size(), std::wstring(shortTime).size());
    EXPECT_EQ(time.size(), std::wstring(longTime).size());
}

TEST_F(Win32CoreTest, KeysAreUpWhenNobodyTypes) {
    EXPECT_FALSE(platform.IsKeyDown(kVkControl));
    EXPECT_FALSE(platform.IsKeyDown(kVkShift));
}

// ---- Text files in the ANSI code page -------------------------------------------------------

TEST_F(Win32CoreTest, TestEnvironmentUsesCentralEuropeanCodePage) {
    // LC_ALL=hr_HR.UTF-8 gives Wine code page 1250; the byte checks below depend on it.
    ASSERT_EQ(::GetACP(), 1250u);
}

TEST_F(Win32CoreTest, CroatianTextIsWrittenAndReadAsAnsiBytes) {
    ASSERT_EQ(::GetACP(), 1250u);
    const std::wstring path = At(L"Kolacici.txt");
    platform.AppendLine(path, L"PC_šđčćž\t\tŠĐČĆŽ");
    EXPECT_EQ(ReadBytes(path), "PC_\x9a\xf0\xe8\xe6\x9e\t\t\x8a\xd0\xc8\xc6\x8e\r\n");
    EXPECT_EQ(ReadAllLines(platform, path), std::vector<Text>{L"PC_šđčćž\t\tŠĐČĆŽ"});
    // A character the code page lacks is written as "?", one byte.
    platform.AppendLine(path, L"\u4e2d");
    EXPECT_EQ(ReadAllLines(platform, path), (std::vector<Text>{L"PC_šđčćž\t\tŠĐČĆŽ", L"?"}));
}

TEST_F(Win32CoreTest, EveryByteReadIsOneCharacter) {
    const std::wstring path = At(L"bytes.txt");
    std::string bytes;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n')
            bytes.push_back(static_cast<char>(b));
    bytes.push_back('\0');
    bytes += "end";
    WriteBytes(path, bytes + "\r\nsecond");
    const std::vector<Text> lines = ReadAllLines(platform, path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), bytes.size());
    EXPECT_EQ(lines[0].substr(lines[0].size() - 4), std::wstring(L"\0end", 4));
    EXPECT_EQ(lines[1], L"second");
}

TEST_F(Win32CoreTest, ReadAllLinesFailsWithTheSystemsTextOnMissingFileAndFolder) {
    const std::wstring missing = FailureText([&] { ReadAllLines(platform, At(L"missing.txt")); });
    EXPECT_NE(missing, L"<no failure>");
    EXPECT_FALSE(missing.empty());
    EXPECT_NE(missing.back(), L'\n');
    EXPECT_NE(missing.back(), L'\r');
    EXPECT_NE(missing.back(), L' ');
    // The system's own text for the error, without its line end, then the file.
    EXPECT_EQ(missing,
              SystemErrorText(ERROR_FILE_NOT_FOUND) + L" (\"" + At(L"missing.txt") + L"\")");
    EXPECT_NE(FailureText([&] { ReadAllLines(platform, At(L"no\\such\\folder.txt")); }),
              L"<no failure>");
    EXPECT_NE(FailureText([&] { ReadAllLines(platform, scratch.Windows()); }), L"<no failure>");
}

TEST_F(Win32CoreTest, ReadingSharesWithReadersAndWritersAndFailsOnlyWhereReadingIsRefused) {
    const std::wstring path = At(L"shared.txt");
    WriteBytes(path, "x\r\n");
    for (DWORD access : {DWORD{GENERIC_READ}, DWORD{GENERIC_WRITE}}) {
        HANDLE other = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     0, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        EXPECT_EQ(ReadAllLines(platform, path), std::vector<Text>{L"x"}) << access;
        ::CloseHandle(other);
    }
    HANDLE exclusive =
        ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FailureText([&] { ReadAllLines(platform, path); }),
              SystemErrorText(ERROR_SHARING_VIOLATION) + L" (\"" + path + L"\")");
    ::CloseHandle(exclusive);
}

TEST_F(Win32CoreTest, AppendLineCreatesAndAppendsAtTheEnd) {
    const std::wstring path = At(L"record.txt");
    platform.AppendLine(path, L"first");
    EXPECT_EQ(ReadBytes(path), "first\r\n");
    WriteBytes(path, "no line end");
    platform.AppendLine(path, L"second");
    platform.AppendLine(path, L"");
    EXPECT_EQ(ReadBytes(path), "no line end\r\nsecond\r\n\r\n");
}

TEST_F(Win32CoreTest, AppendLineLandsAtTheEndWhileAnotherHandleIsOpen) {
    const std::wstring path = At(L"record.txt");
    WriteBytes(path, "head\r\n");
    // A reader that lets others write keeps its handle open across the appends
    // and its own position at the start; the appends still go to the end.
    HANDLE reader = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    platform.AppendLine(path, L"one");
    // Another writer appends between the two calls (opened and closed again).
    HANDLE other = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(other, "other\r\n", 7, &written, nullptr);
    ::CloseHandle(other);
    platform.AppendLine(path, L"two");
    char buffer[64] = {};
    DWORD read = 0;
    ASSERT_TRUE(::ReadFile(reader, buffer, sizeof buffer, &read, nullptr));
    ::CloseHandle(reader);
    EXPECT_EQ(std::string(buffer, read), "head\r\none\r\nother\r\ntwo\r\n");
}

TEST_F(Win32CoreTest, AppendLineFailsWhileAnotherHandleWritesOrWhenItCannotOpen) {
    const std::wstring path = At(L"record.txt");
    WriteBytes(path, "head\r\n");
    HANDLE writer =
        ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_NE(FailureText([&] { platform.AppendLine(path, L"refused"); }), L"<no failure>");
    ::CloseHandle(writer);
    // Nothing was written by the refused call; the handle it did not get is no leak.
    platform.AppendLine(path, L"after");
    EXPECT_EQ(ReadBytes(path), "head\r\nafter\r\n");

    // A folder cannot be appended to. (A read-only file is no test under Wine run
    // as root: Wine keeps that attribute in the Unix permissions, which root ignores.)
    EXPECT_NE(FailureText([&] { platform.AppendLine(scratch.Windows(), L"refused"); }),
              L"<no failure>");
    EXPECT_NE(FailureText([&] { platform.AppendLine(At(L"no\\such\\record.txt"), L"x"); }),
              L"<no failure>");
}

// ---- Folder search --------------------------------------------------------------------------

std::vector<Text> AllMatches(PlatformServices &platform, const Text &pattern) {
    std::vector<Text> names;
    for (Text name = platform.FindFirstMatch(pattern); !name.empty();
         name = platform.FindNextMatch())
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Win32CoreTest, SearchSkipsHiddenSystemAndFolders) {
    WriteBytes(At(L"ruxVT1.ade"), "");
    WriteBytes(At(L"RuxVT2.accde"), "");
    WriteBytes(At(L"ruxVT3.ade"), "");
    WriteBytes(At(L"ruxVT4.ade"), "");
    WriteBytes(At(L"other.ade"), "");
    ASSERT_TRUE(::CreateDirectoryW((At(L"ruxVT5.ade")).c_str(), nullptr));
    ASSERT_TRUE(::SetFileAttributesW((At(L"ruxVT3.ade")).c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(::SetFileAttributesW((At(L"ruxVT4.ade")).c_str(), FILE_ATTRIBUTE_SYSTEM));
    // The attributes must really be stored, or the skip below proves nothing.
    ASSERT_TRUE(::GetFileAttributesW((At(L"ruxVT3.ade")).c_str()) & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(::GetFileAttributesW((At(L"ruxVT4.ade")).c_str()) & FILE_ATTRIBUTE_SYSTEM);

    EXPECT_EQ(AllMatches(platform, At(L"ruxvt*.*")),
              (std::vector<Text>{L"RuxVT2.accde", L"ruxVT1.ade"}));
    EXPECT_EQ(AllMatches(platform, At(L"RUXVT*.ADE")), std::vector<Text>{L"ruxVT1.ade"});
    EXPECT_EQ(AllMatches(platform, At(L"*")),
              (std::vector<Text>{L"RuxVT2.accde", L"other.ade", L"ruxVT1.ade"}));
    // A plain path is an existence test answering the stored name.
    EXPECT_EQ(platform.FindFirstMatch(At(L"OTHER.ADE")), L"other.ade");
    EXPECT_EQ(platform.FindFirstMatch(At(L"ruxVT3.ade")), L"");
    EXPECT_EQ(platform.FindFirstMatch(At(L"ruxVT5.ade")), L"");
}

TEST_F(Win32CoreTest, SearchAnswersEmptyForNoMatchAndMissingFolder) {
    EXPECT_EQ(platform.FindFirstMatch(At(L"*.none")), L"");
    EXPECT_EQ(platform.FindNextMatch(), L"");
    EXPECT_EQ(platform.FindFirstMatch(At(L"missing\\*.*")), L"");
    EXPECT_EQ(platform.FindFirstMatch(At(L"missing.txt")), L"");
    // An empty file part finds nothing, as on Windows.
    WriteBytes(At(L"present.txt"), "");
    EXPECT_EQ(platform.FindFirstMatch(scratch.Windows() + L"\\"), L"");
    EXPECT_EQ(platform.FindNextMatch(), L"");
}

// ---- Copy, move, delete ---------------------------------------------------------------------

TEST_F(Win32CoreTest, CopyFailsWhileTheTargetIsOpenInAnotherProgram) {
    WriteBytes(At(L"src.ade"), "new");
    WriteBytes(At(L"dst.ade"), "old");
    HANDLE held = ::CreateFileW((At(L"dst.ade")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_NE(FailureText([&] { platform.CopyFileOver(At(L"src.ade"), At(L"dst.ade")); }),
              L"<no failure>");
    ::CloseHandle(held);
    EXPECT_EQ(ReadBytes(At(L"dst.ade")), "old");
}

// Windows refuses to delete a file another program holds open; the failure says so.
TEST_F(Win32CoreTest, DeletingAFileHeldOpenFails) {
    WriteBytes(At(L"held.ade"), "x");
    HANDLE held = ::CreateFileW((At(L"held.ade")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_NE(FailureText([&] { platform.DeleteFileIfPresent(At(L"held.ade")); }), L"<no failure>");
    ::CloseHandle(held);
}

// A file another program holds open without sharing is a file in use, for the
// tools that wait for it; other failures are not.
TEST_F(Win32CoreTest, ReplacingOrEmptyingAFileHeldOpenFailsAsAFileInUse) {
    WriteBytes(At(L"new.tmp"), "new");
    WriteBytes(At(L"front.ade"), "old");
    WriteBytes(At(L"Kolacici.txt"), "PC07_ana\r\n");
    // 1: failed as a file in use, 0: failed otherwise, -1: did not fail.
    auto inUse = [](const std::function<void()> &action) {
        try {
            action();
        } catch (const Failure &failure) {
            return failure.Kind() == FailureKind::SharingViolation ? 1 : 0;
        }
        return -1;
    };
    auto hold = [&](const wchar_t *name) {
        return ::CreateFileW(At(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };

    HANDLE held = hold(L"front.ade");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(inUse([&] { platform.MoveFileOver(At(L"new.tmp"), At(L"front.ade")); }), 1);
    ::CloseHandle(held);
    EXPECT_EQ(ReadBytes(At(L"front.ade")), "old");

    // The record file's hold answers "held by another" without failing, for its caller to wait.
    held = hold(L"Kolacici.txt");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(platform.TryHoldRecord(At(L"Kolacici.txt")), nullptr);
    ::CloseHandle(held);
    EXPECT_EQ(ReadBytes(At(L"Kolacici.txt")), "PC07_ana\r\n");
    EXPECT_EQ(inUse([&] { platform.TryHoldRecord(At(L"Kolacici.txt"))->Cut(); }), -1);
    EXPECT_EQ(ReadBytes(At(L"Kolacici.txt")), "");

    EXPECT_EQ(inUse([&] { platform.TryHoldRecord(At(L"absent.txt")); }), 0);
    EXPECT_EQ(inUse([&] { platform.MoveFileOver(At(L"absent.tmp"), At(L"front.ade")); }), 0);
}

// ---- Registry -------------------------------------------------------------------------------

class Win32RegistryTest : public Win32CoreTest {
protected:
    const std::string base_ =
        "Software\\DravikVT-core-tests-" + std::to_string(::GetCurrentProcessId());
    const Text baseW_ =
        L"Software\\DravikVT-core-tests-" + std::to_wstring(::GetCurrentProcessId());
    ~Win32RegistryTest() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str()); }
    RegistryServices &registry = platform.Registry();
};

// Stored as ANSI bytes, as Access reads them.
TEST_F(Win32RegistryTest, StringsAreStoredAsAnsiBytesAsAccessReadsThem) {
    RegKey key = 0;
    ASSERT_EQ(registry.RegCreateKeyA(baseW_ + L"\\Location0", key), kRegSuccess);
    const Text folder = L"C:\\Programi\\Šđ\\";
    EXPECT_EQ(registry.RegSetValueExA(key, L"Path", folder,
                                      static_cast<std::uint32_t>(folder.size() + 1)),
              kRegSuccess);
    EXPECT_EQ(registry.RegSetValueExA(key, L"AllowSubfolders", 1u), kRegSuccess);
    EXPECT_EQ(registry.RegCloseKey(key), kRegSuccess);
    char raw[64] = {};
    DWORD rawSize = sizeof raw;
    ASSERT_EQ(::RegGetValueA(HKEY_CURRENT_USER, (base_ + "\\Location0").c_str(), "Path",
                             RRF_RT_REG_SZ, nullptr, raw, &rawSize),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(raw), "C:\\Programi\\\x8a\xf0\\");
    DWORD number = 0;
    DWORD numberSize = sizeof number;
    ASSERT_EQ(::RegGetValueA(HKEY_CURRENT_USER, (base_ + "\\Location0").c_str(), "AllowSubfolders",
                             RRF_RT_REG_DWORD, nullptr, &number, &numberSize),
              ERROR_SUCCESS);
    EXPECT_EQ(number, 1u);
}

TEST_F(Win32RegistryTest, ByteCountIsStoredExactlyAndNeverReadPastTheText) {
    RegKey key = 0;
    ASSERT_EQ(registry.RegCreateKeyA(baseW_, key), kRegSuccess);
    // Without the NUL: the stored value is the text alone.
    EXPECT_EQ(registry.RegSetValueExA(key, L"NoNul", L"abc", 3), kRegSuccess);
    // A count beyond the text and its NUL stores no more than those.
    EXPECT_EQ(registry.RegSetValueExA(key, L"Clamped", L"abc", 1000), kRegSuccess);
    // A shorter count cuts the text.
    EXPECT_EQ(registry.RegSetValueExA(key, L"Cut", L"abcdef", 2), kRegSuccess);
    EXPECT_EQ(registry.RegCloseKey(key), kRegSuccess);

    HKEY raw = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, KEY_READ, &raw), ERROR_SUCCESS);
    BYTE data[16] = {};
    DWORD size = sizeof data;
    ASSERT_EQ(::RegQueryValueExA(raw, "NoNul", nullptr, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_GE(size, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data), 3), "abc");
    size = sizeof data;
    ASSERT_EQ(::RegQueryValueExA(raw, "Clamped", nullptr, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data), 4), std::string("abc\0", 4));
    size = sizeof data;
    ASSERT_EQ(::RegQueryValueExA(raw, "Cut", nullptr, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data), 2), "ab");
    ::RegCloseKey(raw);
}

TEST_F(Win32RegistryTest, LongValueReportsItsTrueSizeAndKeepsTheBufferSize) {
    RegKey key = 0;
    ASSERT_EQ(registry.RegCreateKeyA(baseW_ + L"\\Location7", key), kRegSuccess);
    const Text longPath = L"C:\\" + std::wstring(296, L'd') + L"\\"; // 300 characters
    ASSERT_EQ(registry.RegSetValueExA(key, L"Path", longPath, 301), kRegSuccess);

    std::uint32_t type = kRegSz;
    Text buffer(255, L' ');
    std::uint32_t count = 255;
    EXPECT_EQ(registry.RegQueryValueExA(key, L"Path", type, buffer, count), kRegMoreData);
    EXPECT_EQ(count, 301u);
    EXPECT_EQ(buffer.size(), 255u);

    // The guard: a count larger than the buffer is cut to the buffer's 255 bytes.
    // Were it handed on, the system would write all 301 bytes and answer success.
    buffer.assign(255, L' ');
    count = 1000;
    EXPECT_EQ(registry.RegQueryValueExA(key, L"Path", type, buffer, count), kRegMoreData);
    EXPECT_EQ(count, 301u);
    EXPECT_EQ(buffer.size(), 255u);

    // A buffer large enough takes the whole value.
    buffer.assign(400, L' ');
    count = 400;
    EXPECT_EQ(registry.RegQueryValueExA(key, L"Path", type, buffer, count), kRegSuccess);
    EXPECT_EQ(count, 301u);
    EXPECT_EQ(buffer.substr(0, 300), longPath);
    EXPECT_EQ(buffer.size(), 400u);
    EXPECT_EQ(registry.RegCloseKey(key), kRegSuccess);
}

TEST_F(Win32RegistryTest, MissingValueLeavesTheBufferAndDwordReportsItsType) {
    RegKey key = 0;
    ASSERT_EQ(registry.RegCreateKeyA(baseW_, key), kRegSuccess);
    std::uint32_t type = kRegSz;
    Text buffer(255, L' ');
    std::uint32_t count = 255;
    EXPECT_EQ(registry.RegQueryValueExA(key, L"Path", type, buffer, count), kRegFileNotFound);
    EXPECT_EQ(buffer, Text(255, L' '));

    ASSERT_EQ(registry.RegSetValueExA(key, L"AllowSubfolders", 1u), kRegSuccess);
    count = 255;
    EXPECT_EQ(registry.RegQueryValueExA(key, L"AllowSubfolders", type, buffer, count), kRegSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(buffer.substr(0, 4), std::wstring(L"\x01\0\0\0", 4));
    EXPECT_EQ(registry.RegCloseKey(key), kRegSuccess);
    EXPECT_NE(registry.RegCloseKey(0), kRegSuccess);
}

// ---- Program start --------------------------------------------------------------------------

TEST_F(Win32CoreTest, StartProgramPassesParametersFolderAndShowMode) {
    const std::wstring standIn = OwnExeFolder() + L"\\MSACCESS.EXE";
    const std::wstring accessFolder = At(L"Office 14");
    ASSERT_TRUE(::CreateDirectoryW(accessFolder.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(standIn.c_str(), (accessFolder + L"\\MSACCESS.EXE").c_str(), FALSE));
    const std::wstring log = accessFolder + L"\\msaccess-started.log";

    // As the launcher builds it: the configured folder ends in "\", so the path
    // holds a doubled separator before the file name.
    const Text parameters = L"\"C:\\x y\\uxVTade.ade\" /user Admin /pwd /Cmd a b";
    platform.StartProgram(0, accessFolder + L"\\\\MSACCESS.EXE", parameters, L"c:\\",
                          kShowMinimized);

    std::string record;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        record = ReadBytes(log).value_or("");
        if (record.size() > 2 && record.compare(record.size() - 2, 2, "\r\n") == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_FALSE(record.empty()) << "the stand-in did not start";
    const std::string tail =
        " \"C:\\x y\\uxVTade.ade\" /user Admin /pwd /Cmd a b\tcwd=c:\\\tshow=2\r\n";
    ASSERT_GE(record.size(), tail.size()) << record;
    EXPECT_EQ(record.substr(record.size() - tail.size()), tail) << record;
    // The shell quotes the program's path as it was given and puts one space before the
    // parameters.
    EXPECT_EQ(record.rfind("cmdline=\"", 0), 0u) << record;
    EXPECT_NE(record.find("\\\\MSACCESS.EXE\" \"C:\\x y"), std::string::npos) << record;
    EXPECT_EQ(record.find('\n'), record.size() - 1) << "started once: " << record;
}

// The shell's result, not GetLastError, names the cause (under Wine they differ).
TEST_F(Win32CoreTest, AProgramTheShellCannotStartIsAFailureNamingIt) {
    const std::wstring missing = At(L"none\\MSACCESS.EXE");
    EXPECT_EQ(
        FailureText([&] { platform.StartProgram(0, missing, L"/x", L"c:\\", kShowMinimized); }),
        SystemErrorText(ERROR_FILE_NOT_FOUND) + L" (\"" + missing + L"\")");
    EXPECT_NE(FailureText([&] { platform.StartProgram(0, L"\\MSACCESS.EXE", L"", L"c:\\", 2); }),
              L"<no failure>");
}

} // namespace
} // namespace dravik
