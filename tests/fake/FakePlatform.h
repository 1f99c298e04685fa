// An in-memory platform for the unit tests. It keeps files, folders, the
// registry and the window in memory, records what the logic did to them, and
// can be told to make a given call fail.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik {

// Thrown by the fake's EndProgram so a test can see the program end.
struct ProgramEnded {};

enum class FakeCall {
    ReadAllLines,
    AppendLine,
    FindFirstMatch,
    CopyFileOver,
    MoveFileOver,
    DeleteFileIfPresent,
    EmptyFile,
    ParentFolderOf,
    ShowMessage,
    AskText,
    StartProgram,
};

class FakePlatform final : public PlatformServices {
public:
    FakePlatform();

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
    void PutFile(const Text &path, const std::string &bytes, bool hidden = false);
    void PutTextFile(const Text &path, const Text &text);
    bool HasFile(const Text &path) const;
    std::optional<std::string> FileBytes(const Text &path) const;
    std::vector<Text> FileNamesIn(const Text &folder) const; // as stored, sorted
    // Held open by another program without sharing: every open fails as a file in use.
    void LockFile(const Text &path) { locked_.insert(Key(path)); }
    void UnlockFile(const Text &path) { locked_.erase(Key(path)); }

    // The n-th call (1-based, counted from now) of `call` fails with `text`. A failing
    // CopyFileOver leaves half of the source in the target, as a dropped network would;
    // CopyFileOver counts the copies with progress too.
    void FailCall(FakeCall call, int nth, Text text);

    // Registry set-up and inspection (paths below HKEY_CURRENT_USER).
    void PutRegistryString(const Text &key, const Text &name, const Text &textWithNul);
    void PutRegistryKey(const Text &key);
    bool HasRegistryKey(const Text &key) const;
    std::optional<std::string> RegistryValue(const Text &key, const Text &name,
                                             std::uint32_t *type = nullptr) const;
    int OpenRegistryHandles() const { return static_cast<int>(handles_.size()); }
    // Creating keys is refused (access denied), as in a locked-down profile.
    bool refuseKeyCreation = false;

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
    std::vector<Text> prompts;
    std::vector<Text> searches;       // every FindFirstMatch pattern, in order
    std::vector<Text> calls;          // every file, search and message call, in order
    std::vector<Text> registryProbes; // every key RegOpenKeyExA was asked for

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
    std::optional<WindowLayout> layout;

    // Delivers a click as the window system would.
    void Click(Control control);

    // ---- PlatformServices ---------------------------------------------------------------
    Text ProgramFolderPath() override;
    Text GetEnvVar(const Text &name) override;
    Text DateText() override { return date; }
    Text TimeText() override { return time; }
    bool IsKeyDown(int virtualKey) override {
        calls.push_back(L"IsKeyDown:" + std::to_wstring(virtualKey));
        return keysDown.count(virtualKey) != 0;
    }
    [[noreturn]] void EndProgram() override;
    Text ToUpper(const Text &text) override;
    Text ToLower(const Text &text) override;

    std::vector<Text> ReadAllLines(const Text &path) override;
    void AppendLine(const Text &path, const Text &text) override;
    Text FindFirstMatch(const Text &pathPattern) override;
    Text FindNextMatch() override;
    void CopyFileOver(const Text &source, const Text &target) override;
    // Reports as Windows does: once at the start, then after every 64 KiB part.
    void CopyFileOverWithProgress(const Text &source, const Text &target,
                                  const CopyProgress &progress) override;
    void MoveFileOver(const Text &source, const Text &target) override;
    void DeleteFileIfPresent(const Text &path) override;
    void EmptyFile(const Text &path) override;
    Text ParentFolderOf(const Text &path) override;

    long RegOpenKeyExA(const Text &subKey, std::uint32_t accessMask, RegKey &key) override;
    long RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type, Text &buffer,
                          std::uint32_t &byteCount) override;
    long RegCreateKeyA(const Text &subKey, RegKey &key) override;
    long RegSetValueExA(RegKey key, const Text &valueName, const Text &text,
                        std::uint32_t byteCount) override;
    long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) override;
    long RegCloseKey(RegKey key) override;

    void CreateLauncherWindow(const WindowLayout &windowLayout, ClickHandler onClick) override;
    void SetWindowPosition(double leftTwips, double topTwips) override;
    TwipSize WindowSize() override { return windowFrame; }
    TwipSize ScreenSize() override { return screen; }
    void SetControlText(Control control, const Text &text) override;
    void SetControlVisible(Control control, bool visible) override;
    void SetWindowVisible(bool visible) override;
    void RepaintWindow() override { ++repaints; }
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
        bool hidden;
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
    void Fail(FakeCall call);
    bool FolderExists(const Text &folder) const;
    void RequireUnlocked(const Text &path) const;
    void Copy(const Text &source, const Text &target, const CopyProgress &progress);
    RegKeyData *KeyOf(RegKey handle);

    std::map<Text, File> files_; // by upper-cased path
    std::set<Text> folders_;     // upper-cased
    std::set<Text> locked_;
    std::map<FakeCall, std::map<int, Text>> failures_; // call -> (nth -> text)
    std::map<FakeCall, int> callCounts_;
    std::vector<Text> searchResults_;
    std::size_t searchNext_ = 0;
    std::map<Text, RegKeyData> registry_; // by upper-cased key path
    std::map<RegKey, Text> handles_;      // open handle -> upper-cased key path
    RegKey nextHandle_ = 100;
    ClickHandler onClick_;
};

} // namespace dravik
