// DravikUser.exe: plays the user in front of the launcher, for tests under Wine
// (or on Windows). It starts the program, can hold keys while it starts,
// answers its prompts, reads and confirms its message boxes, clicks its buttons
// and writes everything it sees to a UTF-8 log, one event per line.
//
//   DravikUser.exe [--env NAME=VALUE]... [--hold ctrl,shift] [--timeout-ms N]
//                  [--cwd DIR] [--go EVENT] --log FILE --run EXE [ACTION]...
//
// --env       added to (or replacing, name without regard to case) the
//             environment the program inherits from this tool.
// --hold      keys pressed (SendInput) before the program starts; they are
//             released when the program shows its first prompt, message box
//             or window, or when it ends.
// --timeout-ms  the whole run (default 60000); on expiry the program is ended.
// --go        the program, already loaded, waits to run until the named event
//             is set, so that a test can start many programs at one moment.
// A path starting with "/" (a Unix path under Wine) is taken as Z:\... .
//
// Actions run in order, each waiting until it can be done:
//   prompt:TEXT        put TEXT in the next prompt's text field, press OK
//   prompt-enter:TEXT  put TEXT in the field, press Enter in the field
//   prompt-cancel      press Cancel
//   prompt-escape      press Escape in the field
//   prompt-close       close the prompt through its title bar
//   message            wait for the next message box (every box is logged and
//                      confirmed with OK whether or not the script waits for it)
//   wait-window        wait until the launcher window is visible
//   click:CAPTION      press the launcher window's button with that caption
//   close-window       close the launcher window through its title bar
//   sleep:MS           wait MS milliseconds
//   wait-file:PATH     wait until the file exists (a side effect of the
//                      program, such as a file it writes or starts)
// After the last action the tool waits for the program to end, still
// confirming message boxes; a prompt nobody scripted is cancelled.
//
// Log lines (fields separated by TAB; CR, LF, TAB and \ in texts written as
// \r, \n, \t, \\):
//   start  program=...  pid=N     go  event=...   (the event was set)
//   keys   down=ctrl,shift        keys  up=ctrl,shift  after=prompt|message|window|exit
//   window-shown  label=...       (once, the first time the window is visible)
//   label  text=...               (the label's text changed while visible)
//   window  visible  label=...    (wait-window)
//   prompt  title=...  text=...   (a prompt appeared)
//   prompt-answer  button=ok|enter|cancel|escape|close  text=...
//   message  title=...  icon=information|exclamation|error|question|none  text=...
//   click  caption=...            close-window          sleep  ms=N
//   file  exists  path=...        (wait-file)
//   exit  code=N                  timeout  waiting-for=ACTION
//   unfinished  action=...        error  text=...
//
// The message box's icon: the box's icon control (a static with SS_ICON) is
// hidden or holds no icon when the box has none. Otherwise its icon handle is
// compared with this process's LoadIcon(NULL, IDI_...) handles; where those are
// per process (Wine) the icon's drawn pixels are read from the screen and
// classified by colour: blue = information (or question), yellow = exclamation,
// red = error.
//
// Buttons are pressed the way the dialog manager reports a click: WM_COMMAND
// with BN_CLICKED posted to the owning window; Enter and Escape are posted to
// the text field as key presses, which the prompt's dialog loop handles.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/Win32UiIds.h"
#include "tests/support/TestText.h"
#include "tests/support/UserLog.h"
#include "tests/support/WindowReading.h"

namespace {

using dravik::test::Escape;

class Log {
public:
    explicit Log(const std::wstring &path) {
        file_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~Log() {
        if (file_ != INVALID_HANDLE_VALUE) {
            CloseHandle(file_);
        }
    }
    Log(const Log &) = delete;
    Log &operator=(const Log &) = delete;
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    // Each line is written at once, so a run that is cut short keeps its log.
    void Line(const std::wstring &line) {
        std::string bytes = dravik::test::Utf8(line) + "\r\n";
        DWORD written = 0;
        WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        std::string echo = "DravikUser: " + bytes;
        fputs(echo.c_str(), stderr);
    }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// Captions and static texts as the system keeps them: read without a message,
// so they can be read while the program is busy and not pumping messages,
// exactly when a user looks at a status text.
std::wstring WindowText(HWND window) {
    wchar_t buffer[4096] = {};
    GetWindowTextW(window, buffer, static_cast<int>(sizeof(buffer) / sizeof(buffer[0])));
    return std::wstring(buffer);
}

using dravik::test::ClassOf;

std::vector<HWND> Children(HWND parent) {
    return dravik::test::ChildrenOf(parent);
}

HWND ChildOfClass(HWND parent, const wchar_t *className) {
    for (HWND child : Children(parent)) {
        if (_wcsicmp(ClassOf(child).c_str(), className) == 0) {
            return child;
        }
    }
    return nullptr;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND> *>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopWindowsOf(DWORD processId) {
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> found;
    for (HWND window : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) {
            found.push_back(window);
        }
    }
    return found;
}

bool IsLauncherWindow(HWND window) {
    std::wstring cls = ClassOf(window);
    if (cls == dravik::win32ui::kLauncherClassName) {
        return true;
    }
    return cls != L"#32770" && WindowText(window) == L"Dravik";
}

HWND LabelOf(HWND launcher) {
    HWND label = GetDlgItem(launcher, dravik::win32ui::kIdLabel1);
    return label != nullptr ? label : ChildOfClass(launcher, L"Static");
}

std::wstring LabelText(HWND launcher) {
    HWND label = LabelOf(launcher);
    return label != nullptr ? WindowText(label) : std::wstring();
}

// ---- Message box icon --------------------------------------------------------------------

std::wstring IconByPixels(HWND iconControl) {
    RECT rect{};
    if (!GetWindowRect(iconControl, &rect)) {
        return std::wstring();
    }
    const std::vector<std::uint32_t> pixels = dravik::test::CaptureScreenRect(rect);
    if (pixels.empty()) {
        return std::wstring();
    }
    int blue = 0, yellow = 0, red = 0;
    for (std::uint32_t pixel : pixels) {
        int r = static_cast<int>((pixel >> 16) & 0xFF);
        int g = static_cast<int>((pixel >> 8) & 0xFF);
        int b = static_cast<int>(pixel & 0xFF);
        if (r > 170 && g > 130 && b < 110) {
            ++yellow;
        } else if (b > 120 && b > r + 50 && b > g + 10) {
            ++blue;
        } else if (r > 150 && g < 90 && b < 90) {
            ++red;
        }
    }
    const int enough = static_cast<int>(pixels.size()) / 20;
    if (yellow >= enough && yellow >= blue && yellow >= red) {
        return L"exclamation";
    }
    if (blue >= enough && blue >= red) {
        return L"information";
    }
    if (red >= enough) {
        return L"error";
    }
    return std::wstring();
}

std::wstring MessageIconKind(HWND box) {
    HWND iconControl = nullptr;
    for (HWND child : Children(box)) {
        if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0 &&
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            iconControl = child;
            break;
        }
    }
    if (iconControl == nullptr || !IsWindowVisible(iconControl)) {
        return L"none";
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutW(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    auto icon = reinterpret_cast<HICON>(result);
    if (icon == nullptr) {
        return L"none";
    }
    struct Known {
        LPCWSTR id;
        const wchar_t *name;
    };
    const Known known[] = {{IDI_INFORMATION, L"information"},
                           {IDI_EXCLAMATION, L"exclamation"},
                           {IDI_ERROR, L"error"},
                           {IDI_QUESTION, L"question"}};
    for (const Known &k : known) {
        if (LoadIconW(nullptr, k.id) == icon) {
            fputs("DravikUser: (icon matched by handle)\n", stderr);
            return k.name;
        }
    }
    // Per-process icon handles: read the drawn icon. The box may not have
    // painted yet when first seen, so give it a moment.
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::wstring kind = IconByPixels(iconControl);
        if (!kind.empty()) {
            fputs("DravikUser: (icon matched by colour)\n", stderr);
            return kind;
        }
        Sleep(20);
    }
    return L"unknown";
}

std::wstring MessageText(HWND box) {
    HWND byId = GetDlgItem(box, 0xFFFF);
    if (byId != nullptr && (GetWindowLongW(byId, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
        return WindowText(byId);
    }
    for (HWND child : Children(box)) {
        if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0 &&
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            std::wstring text = WindowText(child);
            if (!text.empty()) {
                return text;
            }
        }
    }
    return std::wstring();
}

void PressDialogButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostKey(HWND target, WORD virtualKey) {
    UINT scan = MapVirtualKeyW(virtualKey, 0 /* MAPVK_VK_TO_VSC */);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    PostMessageW(target, WM_KEYDOWN, virtualKey, down);
    PostMessageW(target, WM_KEYUP, virtualKey, up);
}

// ---- Held keys ----------------------------------------------------------------------------

struct KeyName {
    const wchar_t *name;
    WORD vk;
};
const KeyName kKeys[] = {{L"ctrl", VK_CONTROL}, {L"shift", VK_SHIFT}, {L"alt", VK_MENU}};

bool SendKey(WORD vk, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, 0));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return SendInput(1, &input, sizeof(INPUT)) == 1;
}

// ---- Command line ---------------------------------------------------------------------------

std::wstring WindowsPath(const std::wstring &path) {
    if (path.empty() || path[0] != L'/') {
        return path;
    }
    std::wstring out = L"Z:" + path;
    std::replace(out.begin(), out.end(), L'/', L'\\');
    return out;
}

bool StartsWith(const std::wstring &text, const std::wstring &prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::wstring NameOf(const std::wstring &entry) {
    // Entries like "=C:=C:\" keep their leading '='.
    std::size_t equals = entry.find(L'=', 1);
    return entry.substr(0, equals);
}

std::vector<wchar_t> EnvironmentBlock(const std::vector<std::wstring> &overrides) {
    std::vector<std::wstring> entries;
    if (wchar_t *strings = GetEnvironmentStringsW()) {
        for (const wchar_t *p = strings; *p != L'\0'; p += std::wcslen(p) + 1) {
            entries.emplace_back(p);
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const std::wstring &entry : overrides) {
        std::wstring name = NameOf(entry);
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const std::wstring &e) {
                                         return _wcsicmp(NameOf(e).c_str(), name.c_str()) == 0;
                                     }),
                      entries.end());
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(), [](const std::wstring &a, const std::wstring &b) {
        return _wcsicmp(NameOf(a).c_str(), NameOf(b).c_str()) < 0;
    });
    std::vector<wchar_t> block;
    for (const std::wstring &entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

int Usage() {
    fwprintf(stderr, L"usage: DravikUser.exe [--env NAME=VALUE]... [--hold ctrl,shift] "
                     L"[--timeout-ms N] [--cwd DIR] --log FILE --run EXE [ACTION]...\n");
    return 2;
}

ULONGLONG Now() {
    return GetTickCount64();
}

// ---- The run --------------------------------------------------------------------------------

class Player {
public:
    Player(Log &log, DWORD processId) : log_(log), processId_(processId) {}

    std::vector<std::wstring> actions;
    std::vector<WORD> heldKeys;
    std::wstring heldNames;

    void HoldKeys() {
        for (WORD vk : heldKeys) {
            if (!SendKey(vk, true)) {
                log_.Line(L"error\ttext=SendInput failed for a key press");
            }
        }
        if (!heldKeys.empty()) {
            log_.Line(L"keys\tdown=" + heldNames);
            keysHeld_ = true;
        }
    }

    void ReleaseKeys(const wchar_t *after) {
        if (!keysHeld_) {
            return;
        }
        for (auto it = heldKeys.rbegin(); it != heldKeys.rend(); ++it) {
            SendKey(*it, false);
        }
        keysHeld_ = false;
        log_.Line(L"keys\tup=" + heldNames + L"\tafter=" + after);
    }

    // One look at the program's windows and one step of the script.
    void Step() {
        Forget();
        // The window first: answering a box lets the program go on at once,
        // and what it showed behind the box may be gone by the next look.
        std::vector<HWND> windows = TopWindowsOf(processId_);
        HWND launcher = nullptr;
        for (HWND window : windows) {
            if (ClassOf(window) != L"#32770" && IsLauncherWindow(window)) {
                launcher = window;
            }
        }
        launcher_ = launcher;
        if (launcher != nullptr && IsWindowVisible(launcher)) {
            SeeVisibleLauncher(launcher);
        }
        for (HWND window : windows) {
            if (ClassOf(window) == L"#32770" && IsWindowVisible(window)) {
                if (ChildOfClass(window, L"Edit") != nullptr) {
                    SeePrompt(window);
                } else {
                    SeeMessage(window);
                }
            }
        }
        RunAction();
    }

    void OnShowEvent(HWND window) {
        if (IsLauncherWindow(window) && IsWindowVisible(window)) {
            SeeVisibleLauncher(window);
        }
    }

    bool ActionsDone() const { return next_ >= actions.size(); }
    std::wstring CurrentAction() const { return ActionsDone() ? L"exit" : actions[next_]; }

private:
    void Forget() {
        for (auto it = handled_.begin(); it != handled_.end();) {
            it = IsWindow(*it) ? std::next(it) : handled_.erase(it);
        }
        for (auto it = promptsSeen_.begin(); it != promptsSeen_.end();) {
            it = IsWindow(*it) ? std::next(it) : promptsSeen_.erase(it);
        }
    }

    void SeeVisibleLauncher(HWND launcher) {
        std::wstring label = LabelText(launcher);
        if (!windowShown_) {
            windowShown_ = true;
            lastLabel_ = label;
            ReleaseKeys(L"window");
            log_.Line(L"window-shown\tlabel=" + Escape(label));
        } else if (label != lastLabel_) {
            lastLabel_ = label;
            log_.Line(L"label\ttext=" + Escape(label));
        }
    }

    void SeeMessage(HWND box) {
        if (handled_.count(box) != 0) {
            return;
        }
        handled_.insert(box);
        ReleaseKeys(L"message");
        std::wstring title = WindowText(box);
        std::wstring icon = MessageIconKind(box);
        std::wstring text = MessageText(box);
        log_.Line(L"message\ttitle=" + Escape(title) + L"\ticon=" + icon + L"\ttext=" +
                  Escape(text));
        PressDialogButton(box, IDOK);
        ++messagesSeen_;
    }

    void SeePrompt(HWND prompt) {
        if (handled_.count(prompt) != 0) {
            return;
        }
        if (promptsSeen_.insert(prompt).second) {
            ReleaseKeys(L"prompt");
            HWND textControl = GetDlgItem(prompt, dravik::win32ui::kIdPromptText);
            std::wstring text =
                textControl != nullptr ? WindowText(textControl) : MessageText(prompt);
            log_.Line(L"prompt\ttitle=" + Escape(WindowText(prompt)) + L"\ttext=" + Escape(text));
        }
        std::wstring action = CurrentAction();
        HWND edit = ChildOfClass(prompt, L"Edit");
        if (StartsWith(action, L"prompt:") || StartsWith(action, L"prompt-enter:")) {
            std::wstring typed = action.substr(action.find(L':') + 1);
            DWORD_PTR result = 0;
            SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()),
                                SMTO_ABORTIFHUNG, 2000, &result);
            if (StartsWith(action, L"prompt:")) {
                PressDialogButton(prompt, IDOK);
                Answered(prompt, L"ok", typed);
            } else {
                PostKey(edit, VK_RETURN);
                Answered(prompt, L"enter", typed);
            }
        } else if (action == L"prompt-cancel") {
            PressDialogButton(prompt, IDCANCEL);
            Answered(prompt, L"cancel", L"");
        } else if (action == L"prompt-escape") {
            PostKey(edit, VK_ESCAPE);
            Answered(prompt, L"escape", L"");
        } else if (action == L"prompt-close") {
            PostMessageW(prompt, WM_CLOSE, 0, 0);
            Answered(prompt, L"close", L"");
        } else if (ActionsDone()) {
            PressDialogButton(prompt, IDCANCEL);
            handled_.insert(prompt);
            log_.Line(L"prompt-answer\tbutton=cancel\tunscripted");
        }
    }

    void Answered(HWND prompt, const wchar_t *button, const std::wstring &typed) {
        handled_.insert(prompt);
        log_.Line(std::wstring(L"prompt-answer\tbutton=") + button + L"\ttext=" + Escape(typed));
        ++next_;
    }

    void RunAction() {
        if (ActionsDone()) {
            return;
        }
        const std::wstring &action = actions[next_];
        bool launcherVisible = launcher_ != nullptr && IsWindowVisible(launcher_);
        if (action == L"message") {
            if (messagesSeen_ > messagesConsumed_) {
                ++messagesConsumed_;
                ++next_;
            }
        } else if (action == L"wait-window") {
            if (launcherVisible) {
                log_.Line(L"window\tvisible\tlabel=" + Escape(LabelText(launcher_)));
                ++next_;
            }
        } else if (StartsWith(action, L"click:")) {
            std::wstring caption = action.substr(6);
            if (launcherVisible) {
                for (HWND child : Children(launcher_)) {
                    if (_wcsicmp(ClassOf(child).c_str(), L"Button") == 0 &&
                        WindowText(child) == caption) {
                        PostMessageW(launcher_, WM_COMMAND,
                                     MAKEWPARAM(GetDlgCtrlID(child), BN_CLICKED),
                                     reinterpret_cast<LPARAM>(child));
                        log_.Line(L"click\tcaption=" + Escape(caption));
                        ++next_;
                        break;
                    }
                }
            }
        } else if (action == L"close-window") {
            if (launcher_ != nullptr) {
                PostMessageW(launcher_, WM_CLOSE, 0, 0);
                log_.Line(L"close-window");
                ++next_;
            }
        } else if (StartsWith(action, L"wait-file:")) {
            std::wstring path = WindowsPath(action.substr(10));
            if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
                log_.Line(L"file\texists\tpath=" + Escape(path));
                ++next_;
            }
        } else if (StartsWith(action, L"sleep:")) {
            if (sleepUntil_ == 0) {
                sleepUntil_ = Now() + static_cast<ULONGLONG>(_wtoi(action.c_str() + 6));
            } else if (Now() >= sleepUntil_) {
                sleepUntil_ = 0;
                log_.Line(L"sleep\tms=" + action.substr(6));
                ++next_;
            }
        }
        // prompt actions run when a prompt is seen
    }

    Log &log_;
    DWORD processId_;
    std::size_t next_ = 0;
    bool keysHeld_ = false;
    bool windowShown_ = false;
    std::wstring lastLabel_;
    HWND launcher_ = nullptr;
    std::set<HWND> handled_;
    std::set<HWND> promptsSeen_;
    int messagesSeen_ = 0;
    int messagesConsumed_ = 0;
    ULONGLONG sleepUntil_ = 0;
};

Player *g_player = nullptr;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD, HWND window, LONG objectId, LONG, DWORD, DWORD) {
    if (g_player != nullptr && window != nullptr && objectId == OBJID_WINDOW) {
        g_player->OnShowEvent(window);
    }
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    std::vector<std::wstring> envOverrides;
    std::wstring logPath, program, workingFolder, goEvent;
    std::wstring holdList;
    ULONGLONG timeoutMs = 60000;
    std::vector<std::wstring> actions;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        auto value = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
        if (arg == L"--env") {
            envOverrides.push_back(value());
        } else if (arg == L"--hold") {
            holdList = value();
        } else if (arg == L"--timeout-ms") {
            timeoutMs = static_cast<ULONGLONG>(_wtoi64(value().c_str()));
        } else if (arg == L"--log") {
            logPath = WindowsPath(value());
        } else if (arg == L"--run") {
            program = WindowsPath(value());
        } else if (arg == L"--cwd") {
            workingFolder = WindowsPath(value());
        } else if (arg == L"--go") {
            goEvent = value();
        } else if (StartsWith(arg, L"--")) {
            return Usage();
        } else {
            actions.push_back(arg);
        }
    }
    if (logPath.empty() || program.empty()) {
        return Usage();
    }
    const ULONGLONG deadline = Now() + timeoutMs;
    Log log(logPath);
    if (!log.IsOpen()) {
        fwprintf(stderr, L"DravikUser: cannot write the log %ls\n", logPath.c_str());
        return 2;
    }

    std::vector<WORD> heldKeys;
    std::wstring heldNames;
    for (std::size_t start = 0; start < holdList.size();) {
        std::size_t comma = holdList.find(L',', start);
        std::wstring name = holdList.substr(start, comma - start);
        start = comma == std::wstring::npos ? holdList.size() : comma + 1;
        bool known = false;
        for (const KeyName &key : kKeys) {
            if (_wcsicmp(name.c_str(), key.name) == 0) {
                heldKeys.push_back(key.vk);
                heldNames += (heldNames.empty() ? L"" : L",") + std::wstring(key.name);
                known = true;
            }
        }
        if (!known) {
            return Usage();
        }
    }

    std::vector<wchar_t> environment = EnvironmentBlock(envOverrides);
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // Started suspended so that the keys are down and the window watch is in
    // place before the program's first instruction.
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                        &process)) {
        log.Line(L"error\ttext=cannot start " + Escape(program) + L" (error " +
                 std::to_wstring(GetLastError()) + L")");
        return 2;
    }
    log.Line(L"start\tprogram=" + Escape(program) + L"\tpid=" +
             std::to_wstring(process.dwProcessId));

    if (!goEvent.empty()) {
        HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, goEvent.c_str());
        const DWORD left = static_cast<DWORD>(deadline > Now() ? deadline - Now() : 0);
        const bool set = go != nullptr && WaitForSingleObject(go, left) == WAIT_OBJECT_0;
        if (go != nullptr) {
            CloseHandle(go);
        }
        if (!set) {
            log.Line(L"timeout\twaiting-for=go");
            TerminateProcess(process.hProcess, 259);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            return 3;
        }
        log.Line(L"go\tevent=" + Escape(goEvent));
    }

    Player player(log, process.dwProcessId);
    player.actions = actions;
    player.heldKeys = heldKeys;
    player.heldNames = heldNames;
    g_player = &player;
    HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnWinEvent,
                        process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    player.HoldKeys();
    ResumeThread(process.hThread);

    int result = 0;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        player.Step();
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
            break;
        }
        if (Now() >= deadline) {
            log.Line(L"timeout\twaiting-for=" + Escape(player.CurrentAction()));
            TerminateProcess(process.hProcess, 259);
            WaitForSingleObject(process.hProcess, 5000);
            result = 3;
            break;
        }
        MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 10, QS_ALLINPUT);
    }
    g_player = nullptr;
    if (hook != nullptr) {
        UnhookWinEvent(hook);
    }
    player.ReleaseKeys(L"exit");
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    log.Line(L"exit\tcode=" + std::to_wstring(exitCode));
    if (result == 0 && !player.ActionsDone()) {
        log.Line(L"unfinished\taction=" + Escape(player.CurrentAction()));
        result = 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}
