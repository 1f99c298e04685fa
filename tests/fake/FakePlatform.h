// An in-memory platform for the unit tests. It keeps files, folders, the
// registry and the window in memory, records what the logic did to them, and
// can be told to make a given call fail.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik {

// Thrown by the fake's EndProgram so a test can see the program end, and how.
struct ProgramEnded {
    int exitCode;
};

// The failure text of a file that another program holds, as Windows words it.
inline const Text kFakeSharingViolation =
    L"The process cannot access the file because it is being used by another process.";

// How another program holds a file open, in Windows' terms.
enum class FakeHold {
    Exclusive,     // shares nothing: every open fails
    Appender,      // appends and lets others only read: a launcher appending its line
    SharingReader, // reads and lets others read, write and delete
};

enum class FakeCall {
    ForEachLine,
    AppendLine,
    FindFirstMatch,
    CopyFileOver,
    CopyToNewFile,
    MakeFileOrdinary,
    MoveFileOver,
    FlushFile,
    DeleteFileIfPresent,
    HoldRecord,
    CopyHeldRecord,
    CutHeldRecord,
    WriteHeldRecord,
    FlushHeldRecord,
    WriteWholeFile,
    AppendToLog,
    ParentFolderOf,
    ShowMessage,
    AskText,
    StartProgram,
};

// The attributes Windows keeps on a file and a copy carries over.
struct FileAttributes {
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
};

// The fake is its own window and registry: a test reads what they hold from the fake.
class FakePlatform final : public PlatformServices, public WindowServices, public RegistryServices {
public:
    FakePlatform();
    ~FakePlatform() override;

    // ---- Setting the scene -------------------------------------------------------------
    Text programFolder = L"C:\\Apps\\DravikVT";
    std::map<Text, Text> environment; // names looked up without regard to case
    Text date = L"8.12.2026.";
    Text time = L"9:15:00";
    std::set<int> keysDown;
    std::deque<Text> promptAnswers; // answers to AskText, in order; "" when none left
    std::deque<Control> clicks;     // clicks the event loop delivers, in order
    TwipSize screen{19200, 10800};
    TwipSize windowFrame{5115, 2865}; // outer size around the 5025 x 2400 client area

    void AddFolder(const Text &folder);
    // Files hold bytes of the Windows-1250 code page, as on a Croatian workstation.
    void PutFile(const Text &path, const std::string &bytes, FileAttributes attributes = {});
    // Gives the file the last-write time of `model`, as a copy tool that keeps times would.
    void TakeWriteTime(const Text &path, const Text &model);
    // A symbolic link (on Windows, a reparse point) at `path`; nothing follows it here.
    void PutLink(const Text &path);
    void PutTextFile(const Text &path, const Text &text);
    bool HasFile(const Text &path) const;
    std::optional<std::string> FileBytes(const Text &path) const;
    std::optional<FileAttributes> AttributesOf(const Text &path) const;
    std::vector<Text> FileNamesIn(const Text &folder) const; // as stored, sorted
    // Held open by another program without sharing: every open fails.
    void LockFile(const Text &path) { HoldFile(path, FakeHold::Exclusive); }
    // Held open by another program as `how` says. With `letGoAfterMs`, it lets go
    // once that much of the fake's clock has passed (see clockMs).
    void HoldFile(const Text &path, FakeHold how,
                  std::optional<std::int64_t> letGoAfterMs = std::nullopt);
    void LetGo(const Text &path) { holds_.erase(Key(path)); }
    void UnlockFile(const Text &path) { LetGo(path); }
    // The next this many tries to append are refused as a sharing violation, as if
    // another workstation held the file for each of them.
    int refusedAppends = 0;

    // Another process holds the lock file `path`: the next `refusals` attempts to take it
    // fail (all of them when negative); then `whenFreed` runs, as the other's work done.
    void HoldLockElsewhere(const Text &path, int refusals, std::function<void()> whenFreed = {});

    // The n-th call (1-based, counted from now) of `call` fails with `text`. A failing
    // copy leaves half of the source in the target, as a dropped network would.
    void FailCall(FakeCall call, int nth, Text text, FailureKind kind = FailureKind::Other,
                  long systemCode = 0);

    // Registry set-up and inspection (paths below HKEY_CURRENT_USER). A key comes with
    // every key above it, as in the registry.
    void PutRegistryString(const Text &key, const Text &name, const Text &textWithNul,
                           std::uint32_t type = kRegSz);
    void PutRegistryDword(const Text &key, const Text &name, std::uint32_t number);
    void PutRegistryKey(const Text &key);
    bool HasRegistryKey(const Text &key) const;
    std::optional<std::string> RegistryValue(const Text &key, const Text &name,
                                             std::uint32_t *type = nullptr) const;
    int OpenRegistryHandles() const { return static_cast<int>(handles_.size()); }
    int mostRegistryHandlesOpen = 0; // the most keys that were open at one time
    // Creating keys is refused (access denied), as in a locked-down profile.
    bool refuseKeyCreation = false;

    // ---- Trusted locations: what Windows keeps, and the rights on the Policies keys ----------
    // A standard user may only read HKCU\Software\Policies: an open that asks for more than
    // KEY_READ is refused there, and so is creating a key.
    std::set<Text> unreadableKeys; // opening these is refused, whatever the mask (upper case)
    std::vector<std::uint32_t> policyMasks;   // the mask of every open of a Policies key
    std::map<KnownFolder, Text> knownFolders; // none unless a test sets them
    std::map<Text, Text> longPaths;           // short spelling -> long one

    // ---- What the logic did ---------------------------------------------------------------
    struct Copy {
        Text source, target;
    };
    struct Message {
        Text text;
        MessageIcon icon;
        std::optional<Text> title;
    };
    struct Start {
        WindowHandle owner;
        Text file, parameters, workingFolder;
        int showMode;
    };
    struct RegWrite {
        Text key, name;
        std::uint32_t type;
        std::string bytes;
    };
    std::vector<Copy> copies; // completed copies only
    std::vector<Message> messages;
    std::vector<Start> starts;
    std::vector<RegWrite> regWrites;
    // Runs while a copy is under way, given its source: another program writing it.
    std::function<void(const Text &source)> duringCopy;
    std::vector<Text> prompts;
    std::vector<Text> searches;       // every FindFirstMatch pattern, in order
    std::vector<Text> calls;          // every file, search and message call, in order
    std::vector<Text> registryProbes; // every key RegOpenKeyExA was asked for
    int appendTries = 0;              // every try to append, retries included

    // The platform's clock, in ms. It moves only when the platform pauses, so a
    // test of a retry runs at once; every pause is noted.
    std::int64_t clockMs = 0;
    std::vector<int> pauses;
    int sleptMilliseconds = 0; // the waits the logic asked for, all together
    // Runs after each such wait: what happens in the world meanwhile.
    std::function<void()> duringSleep;

    // The window as a user would see it.
    bool windowCreated = false;
    bool windowVisible = false;
    bool windowClosed = false;
    bool windowEverShown = false;
    int repaints = 0;
    double windowLeft = -1, windowTop = -1;
    std::map<Control, Text> controlText;
    std::map<Control, bool> controlVisible;
    std::vector<Text> labelHistory; // every text the label was given while visible
    // What the label showed each time the window answered the system ("<hidden>" when
    // the window was not visible).
    std::vector<Text> labelWhenAnswering;
    // Every progress shown, "done/total", and "-" when it was taken away.
    std::vector<Text> progressShown;
    std::optional<WindowLayout> layout;

    // Delivers a click as the window system would.
    void Click(Control control);

    // ---- PlatformServices ---------------------------------------------------------------
    Text ProgramFolderPath() override;
    Text GetEnvVar(const Text &name) override;
    Text DateText() override { return date; }
    Text TimeText() override { return time; }
    void SleepMilliseconds(int milliseconds) override {
        pauses.push_back(milliseconds);
        sleptMilliseconds += milliseconds;
        clockMs += milliseconds;
        if (duringSleep)
            duringSleep();
    }
    bool IsKeyDown(int virtualKey) override {
        calls.push_back(L"IsKeyDown:" + std::to_wstring(virtualKey));
        return keysDown.count(virtualKey) != 0;
    }
    [[noreturn]] void EndProgram(int exitCode) override;
    Text ToUpper(const Text &text) override;
    Text ToLower(const Text &text) override;

    void ForEachLine(const Text &path, const std::function<void(const Text &)> &visit) override;
    void ForEachLineBytes(const Text &path,
                          const std::function<void(const std::string &)> &visit) override;
    Text DecodeAnsi(const std::string &bytes) override;
    bool AppendLineIf(const Text &path, const Text &text,
                      const std::function<bool(const Text &)> &stillWanted) override;
    Text FindFirstMatch(const Text &pathPattern) override;
    Text FindNextMatch() override;
    // Copies report as Windows does: once at the start, then after every 64 KiB part.
    void CopyFileOver(const Text &source, const Text &target,
                      const CopyProgress &progress) override;
    void CopyToNewFile(const Text &source, const Text &target,
                       const CopyProgress &progress) override;
    FileStamp StampOf(const Text &path) override;
    void FlushFile(const Text &path) override;
    void MakeFileOrdinary(const Text &path) override;
    void MoveFileOver(const Text &source, const Text &target) override;
    void DeleteFileIfPresent(const Text &path) override;
    std::unique_ptr<FileLock> TryLockFile(const Text &path) override;
    std::unique_ptr<HeldRecord> TryHoldRecord(const Text &path) override;
    PathKind KindOfPath(const Text &path) override;
    void MakeFolder(const Text &path) override;
    void WriteWholeFile(const Text &path, const std::string &bytes) override;
    Text ParentFolderOf(const Text &path) override;

    std::vector<Text> FoldersMatching(const Text &pathPattern) override;
    void RemoveFolder(const Text &path) override;
    bool SameBytes(const Text &first, const Text &second) override;

    // The fake's clock (clockMs); the log is written in UTF-8 and moved aside as on
    // Windows, and a held log (HoldFile) refuses it.
    std::int64_t MillisecondsNow() override { return clockMs; }
    void AppendToLog(const Text &path, const Text &line, std::uint64_t rotateAt) override;

    RegistryServices &Registry() override { return *this; }
    long RegOpenKeyExA(const Text &subKey, std::uint32_t accessMask, RegKey &key) override;
    long RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type, Text &buffer,
                          std::uint32_t &byteCount) override;
    long RegCreateKeyA(const Text &subKey, RegKey &key) override;
    using RegistryServices::RegSetValueExA;
    long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t type, const Text &text,
                        std::uint32_t byteCount) override;
    long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) override;
    long RegCloseKey(RegKey key) override;
    long RegEnumKeyExA(RegKey key, std::uint32_t index, Text &name) override;

    Text KnownFolderPath(KnownFolder which) override;
    Text LongPathOf(const Text &path) override;

    WindowServices &Window() override { return *this; }
    void CreateLauncherWindow(const WindowLayout &windowLayout, ClickHandler onClick) override;
    void SetWindowPosition(double leftTwips, double topTwips) override;
    TwipSize WindowSize() override { return windowFrame; }
    TwipSize ScreenSize() override { return screen; }
    void SetControlText(Control control, const Text &text) override;
    void SetControlVisible(Control control, bool visible) override;
    void SetWindowVisible(bool visible) override;
    void RepaintWindow() override { ++repaints; }
    void KeepWindowResponsive() override;
    void ShowProgress(std::uint64_t done, std::uint64_t total) override;
    WindowHandle GetWindowHandle() override { return kWindowHandle; }
    void CloseLauncherWindow() override;
    void RunEventLoop() override;
    void ShowMessage(const Text &text, MessageIcon icon,
                     const std::optional<Text> &title = std::nullopt) override;
    Text AskText(const Text &prompt) override;

    void StartProgram(WindowHandle owner, const Text &file, const Text &parameters,
                      const Text &workingFolder, int showMode) override;

    static constexpr WindowHandle kWindowHandle = 0x1234;

private:
    struct File {
        Text path; // as created
        std::string bytes;
        FileAttributes attributes;
        std::int64_t written = 0; // when last written, on a counter of writes
        std::uint64_t id = 0;     // which file: kept by writes and renames, new when created
    };
    struct LockElsewhere {
        int refusals;
        std::function<void()> whenFreed;
    };
    class FakeFileLock;
    class FakeHeldRecord;
    struct PlannedFailure {
        Text text;
        FailureKind kind;
        long systemCode;
    };
    struct RegValue {
        std::uint32_t type;
        std::string bytes;
    };
    struct RegKeyData {
        Text path;
        std::map<Text, RegValue> values; // by upper-cased name
    };

    static Text Key(const Text &path);
    // Raises the failure planned for this call, if any, naming the files it concerns.
    void Fail(FakeCall call, std::vector<Text> paths = {});
    bool FolderExists(const Text &folder) const;
    void RequireUnlocked(const Text &path);
    // The stored lines of a file, as both line readers see them.
    void ReadLines(const Text &path, std::size_t longestKept,
                   const std::function<void(const std::string &)> &visit);
    // The hold on the path that is still in place, if any.
    const FakeHold *HoldOn(const Text &path);
    // Answers whether the try got the file; `wanted` whether the line was then written.
    bool TryAppend(const Text &path, const Text &text,
                   const std::function<bool(const Text &)> &stillWanted, bool &wanted);
    void CopyFile(const Text &source, const Text &target, bool replacing,
                  const CopyProgress &progress = {});
    RegKeyData *KeyOf(RegKey handle);

    std::map<Text, File> files_; // by upper-cased path
    std::int64_t writes_ = 0;
    std::uint64_t fileIds_ = 0;
    std::set<Text> folders_;           // upper-cased
    std::map<Text, Text> folderNames_; // upper-cased path -> last component as made
    struct Hold {
        FakeHold how;
        std::optional<std::int64_t> until; // on clockMs
    };
    std::map<Text, Hold> holds_;                   // by upper-cased path
    std::map<Text, LockElsewhere> locksElsewhere_; // by key
    std::set<Text> locksHeld_;                     // keys of the locks this process holds
    std::set<Text> heldRecords_;                   // keys of the record files held as appenders are
    std::set<Text> links_;                         // by key
    std::map<FakeCall, std::map<int, PlannedFailure>> failures_; // call -> (nth -> failure)
    std::map<FakeCall, int> callCounts_;
    std::vector<Text> searchResults_;
    std::size_t searchNext_ = 0;
    std::map<Text, RegKeyData> registry_; // by upper-cased key path
    std::map<RegKey, Text> handles_;      // open handle -> upper-cased key path
    RegKey nextHandle_ = 100;
    ClickHandler onClick_;
};

} // namespace dravik
