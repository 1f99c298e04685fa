// The launcher window, the message box and the prompt on Win32.
//
// The window is an ordinary top-level window (class kLauncherClassName in
// Win32UiIds.h) with a fixed frame. Its controls carry these IDs, so that tools
// driving the program from outside can find them by ID or by caption:
//   1001 CmdKraj            push button "Kraj"
//   1002 CmdPokreniProgram  push button "Pokreni program"
//   1003 CmdUzmiNoviMDE     push button "Uzmi novi MDA"
//   1004 Label1             static text
// Controls are created in ascending tab order, so the z-order is the tab order.
//
// All text goes through the wide API: Croatian letters show whatever the ANSI
// code page is.
#include "platform/win32/Win32Ui.h"

#include <windows.h>

#include <shobjidl.h>

#include <algorithm>
#include <array>
#include <exception>
#include <type_traits>
#include <vector>

#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Prompt.h"
#include "platform/win32/Win32UiIds.h"

namespace dravik {
namespace {

using win32ui::PixelsToTwips;
using win32ui::TwipsToPixels;

using UniqueTaskbar = UniqueComInterface<ITaskbarList3>;

// Sent by the shell when the window's taskbar button exists: only then can the
// button show progress.
UINT TaskbarButtonCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

constexpr std::size_t kControlCount = 4;

std::size_t IndexOf(Control control) {
    return static_cast<std::size_t>(control);
}

int IdOf(Control control) {
    switch (control) {
    case Control::CmdKraj:
        return win32ui::kIdCmdKraj;
    case Control::CmdPokreniProgram:
        return win32ui::kIdCmdPokreniProgram;
    case Control::CmdUzmiNoviMDE:
        return win32ui::kIdCmdUzmiNoviMDE;
    case Control::Label1:
        return win32ui::kIdLabel1;
    }
    return 0;
}

bool ButtonFromId(int id, Control &control) {
    switch (id) {
    case win32ui::kIdCmdKraj:
        control = Control::CmdKraj;
        return true;
    case win32ui::kIdCmdPokreniProgram:
        control = Control::CmdPokreniProgram;
        return true;
    case win32ui::kIdCmdUzmiNoviMDE:
        control = Control::CmdUzmiNoviMDE;
        return true;
    default:
        return false;
    }
}

// The window's own icon: a blue tile with a white "D", drawn at 16 pixels and
// doubled for the large icon.
const char *const kIconPattern[16] = {
    "bbbbbbbbbbbbbbbb", "b..............b", "b..............b", "b...#######....b",
    "b...########...b", "b...##....###..b", "b...##.....##..b", "b...##.....##..b",
    "b...##.....##..b", "b...##.....##..b", "b...##.....##..b", "b...##....###..b",
    "b...########...b", "b...#######....b", "b..............b", "bbbbbbbbbbbbbbbb",
};

UniqueIcon MakeLauncherIcon(int size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    UniqueBitmap color(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!color || bits == nullptr) {
        return UniqueIcon();
    }
    auto *pixels = static_cast<std::uint32_t *>(bits);
    const int scale = size / 16;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            char cell = kIconPattern[y / scale][x / scale];
            std::uint32_t argb = cell == '#'   ? 0xFFFFFFFFu
                                 : cell == 'b' ? 0xFF002A80u
                                               : 0xFF1E5AD2u;
            pixels[y * size + x] = argb;
        }
    }
    // An all-zero mask: every pixel of the tile is opaque.
    std::vector<BYTE> maskBits(static_cast<std::size_t>((size + 15) / 16 * 2 * size), 0);
    UniqueBitmap mask(CreateBitmap(size, size, 1, 1, maskBits.data()));
    if (!mask) {
        return UniqueIcon();
    }
    ICONINFO iconInfo{};
    iconInfo.fIcon = TRUE;
    iconInfo.hbmMask = mask.Get();
    iconInfo.hbmColor = color.Get();
    return UniqueIcon(CreateIconIndirect(&iconInfo));
}

// The program's own icon resource when the executable has one (DravikVT.exe does),
// so the window and the file show the same picture; else the same tile drawn here.
UniqueIcon LauncherIcon(int size) {
    HANDLE loaded = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size,
                               size, LR_DEFAULTCOLOR);
    if (loaded != nullptr) {
        return UniqueIcon(static_cast<HICON>(loaded));
    }
    return MakeLauncherIcon(size);
}

UniqueFont MakeFont(const FontSpec &wanted, int dpi) {
    LOGFONTW font{};
    font.lfHeight = win32ui::PointsToFontHeight(wanted.points, dpi);
    font.lfWeight = wanted.weight;
    font.lfCharSet = static_cast<BYTE>(wanted.charset);
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynW(font.lfFaceName, wanted.face.c_str(), LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

void EnableDpiAwareness() {
    // Looked up at run time: the call is missing from some SDKs' import libraries
    // and from very old systems.
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return;
    }
    using SetAwareFn = BOOL(WINAPI *)();
    auto setAware = reinterpret_cast<SetAwareFn>(
        reinterpret_cast<void *>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (setAware != nullptr) {
        setAware();
    }
}

} // namespace

struct Win32Ui::State {
    HWND window = nullptr;
    std::array<HWND, kControlCount> controls{};
    ClickHandler onClick;
    int dpi = 96;
    // The control that had the focus when the window was last deactivated.
    HWND focus = nullptr;
    // A failure raised by a click handler, carried out of the window procedure
    // and raised again by RunEventLoop.
    std::exception_ptr pendingFailure;
    // Set while the window only answers the system in the middle of the program's
    // work: clicks and closes are then not for now.
    bool answeringOnly = false;
    // The taskbar button, for progress; there once the shell has made the button.
    UniqueTaskbar taskbar;
    UniqueFont labelFont;
    UniqueFont buttonFont;
    UniqueIcon smallIcon;
    UniqueIcon bigIcon;

    HWND ControlWindow(Control control) const { return controls[IndexOf(control)]; }
    HWND Kraj() const { return ControlWindow(Control::CmdKraj); }
    bool IsOwnChild(HWND child) const {
        for (HWND control : controls) {
            if (control != nullptr && control == child) {
                return true;
            }
        }
        return false;
    }
    HWND FocusTarget() const {
        if (focus != nullptr && IsWindow(focus) && IsWindowVisible(focus)) {
            return focus;
        }
        return Kraj();
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

LRESULT CALLBACK Win32Ui::State::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto *create = reinterpret_cast<CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *state = reinterpret_cast<State *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (state == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return state->Handle(hwnd, message, wParam, lParam);
}

LRESULT Win32Ui::State::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        Control control{};
        if (HIWORD(wParam) == BN_CLICKED && ButtonFromId(LOWORD(wParam), control)) {
            if (onClick && !pendingFailure && !answeringOnly) {
                // Exceptions must not unwind through the system's dispatcher.
                try {
                    onClick(control);
                } catch (...) {
                    pendingFailure = std::current_exception();
                }
            }
            return 0;
        }
        break;
    }
    case DM_GETDEFID: {
        // Enter presses the focused button, as in a dialog; otherwise "Kraj".
        HWND focused = GetFocus();
        int id = win32ui::kIdCmdKraj;
        Control control{};
        if (IsOwnChild(focused) && ButtonFromId(GetDlgCtrlID(focused), control)) {
            id = GetDlgCtrlID(focused);
        }
        return MAKELRESULT(id, DC_HASDEFID);
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focused = GetFocus();
            if (IsOwnChild(focused)) {
                focus = focused;
            }
        } else {
            SetFocus(FocusTarget());
        }
        return 0;
    case WM_SETFOCUS:
        SetFocus(FocusTarget());
        return 0;
    case WM_CTLCOLORSTATIC: {
        auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CLOSE:
        if (answeringOnly) {
            return 0; // closing in the middle of an update would cut it off
        }
        break;
    case WM_DESTROY:
        window = nullptr;
        controls.fill(nullptr);
        focus = nullptr;
        taskbar.Reset();
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    default:
        if (message != 0 && message == TaskbarButtonCreatedMessage()) {
            ITaskbarList3 *list = nullptr;
            if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_ITaskbarList3, reinterpret_cast<void **>(&list)))) {
                taskbar.Reset(list);
                if (FAILED(taskbar.Get()->HrInit())) {
                    taskbar.Reset();
                }
            }
            return 0;
        }
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

Win32Ui::Win32Ui() : state_(std::make_unique<State>()) {
    EnableDpiAwareness();
}

Win32Ui::~Win32Ui() {
    if (state_->window != nullptr) {
        DestroyWindow(state_->window);
    }
}

void Win32Ui::CreateLauncherWindow(const WindowLayout &layout, ClickHandler onClick) {
    if (state_->window != nullptr) {
        DestroyWindow(state_->window);
    }
    State &state = *state_;
    state.onClick = std::move(onClick);
    state.pendingFailure = nullptr;
    state.dpi = win32ui::ScreenDpi();
    const int dpi = state.dpi;
    HINSTANCE instance = GetModuleHandleW(nullptr);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (!GetClassInfoExW(instance, win32ui::kLauncherClassName, &windowClass)) {
        windowClass = WNDCLASSEXW{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &State::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        windowClass.hbrBackground =
            reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = win32ui::kLauncherClassName;
        if (RegisterClassExW(&windowClass) == 0) {
            throw LastErrorFailure();
        }
    }

    // A fixed frame around a client area of the layout's size.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT frame{0, 0, TwipsToPixels(layout.clientWidth, dpi),
               TwipsToPixels(layout.clientHeight, dpi)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);

    HWND window = CreateWindowExW(exStyle, win32ui::kLauncherClassName, layout.caption.c_str(),
                                  style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, &state);
    if (window == nullptr) {
        throw LastErrorFailure();
    }
    state.window = window;

    state.smallIcon = LauncherIcon(16);
    state.bigIcon = LauncherIcon(32);
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.smallIcon.Get()));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.bigIcon.Get()));

    state.labelFont = MakeFont(layout.labelFont, dpi);
    // The buttons keep the classic form font, MS Sans Serif 8 pt: narrow enough
    // for "Uzmi novi MDA" in its 1095-twip button, with the Central European
    // letters.
    state.buttonFont =
        MakeFont(FontSpec{L"MS Sans Serif", 8.25, FW_NORMAL, EASTEUROPE_CHARSET}, dpi);
    HFONT buttonFont = state.buttonFont ? state.buttonFont.Get()
                                        : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    // Created in ascending tab order: the z-order is the order Tab follows.
    std::vector<const ControlLayout *> ordered;
    for (const ControlLayout &control : layout.controls) {
        ordered.push_back(&control);
    }
    std::stable_sort(
        ordered.begin(), ordered.end(),
        [](const ControlLayout *a, const ControlLayout *b) { return a->tabOrder < b->tabOrder; });
    for (const ControlLayout *control : ordered) {
        const bool isButton = control->kind == ControlKind::PushButton;
        const DWORD controlStyle =
            WS_CHILD | WS_VISIBLE | (isButton ? WS_TABSTOP | BS_PUSHBUTTON : SS_LEFT | SS_NOPREFIX);
        const int left = TwipsToPixels(control->left, dpi);
        const int top = TwipsToPixels(control->top, dpi);
        HWND child = CreateWindowExW(
            0, isButton ? L"BUTTON" : L"STATIC", control->caption.c_str(), controlStyle, left, top,
            TwipsToPixels(control->left + control->width, dpi) - left,
            TwipsToPixels(control->top + control->height, dpi) - top, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(control->id))), instance, nullptr);
        if (child == nullptr) {
            Failure failure = LastErrorFailure();
            DestroyWindow(window);
            throw failure;
        }
        HFONT childFont = isButton ? buttonFont : state.labelFont.Get();
        if (childFont != nullptr) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(childFont), FALSE);
        }
        state.controls[IndexOf(control->id)] = child;
    }
    state.focus = state.Kraj();
}

void Win32Ui::SetWindowPosition(double leftTwips, double topTwips) {
    if (state_->window == nullptr) {
        return;
    }
    SetWindowPos(state_->window, nullptr, TwipsToPixels(leftTwips, state_->dpi),
                 TwipsToPixels(topTwips, state_->dpi), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TwipSize Win32Ui::WindowSize() {
    RECT rect{};
    if (state_->window == nullptr || !GetWindowRect(state_->window, &rect)) {
        return TwipSize{0, 0};
    }
    return TwipSize{PixelsToTwips(rect.right - rect.left, state_->dpi),
                    PixelsToTwips(rect.bottom - rect.top, state_->dpi)};
}

TwipSize Win32Ui::ScreenSize() {
    const int dpi = state_->window != nullptr ? state_->dpi : win32ui::ScreenDpi();
    return TwipSize{PixelsToTwips(GetSystemMetrics(SM_CXSCREEN), dpi),
                    PixelsToTwips(GetSystemMetrics(SM_CYSCREEN), dpi)};
}

void Win32Ui::SetControlText(Control control, const Text &text) {
    HWND child = state_->ControlWindow(control);
    if (child != nullptr) {
        SetWindowTextW(child, text.c_str());
    }
}

void Win32Ui::SetControlVisible(Control control, bool visible) {
    HWND child = state_->ControlWindow(control);
    if (child != nullptr) {
        ShowWindow(child, visible ? SW_SHOW : SW_HIDE);
    }
}

void Win32Ui::SetWindowVisible(bool visible) {
    HWND window = state_->window;
    if (window == nullptr) {
        return;
    }
    if (!visible) {
        ShowWindow(window, SW_HIDE);
        return;
    }
    const bool wasVisible = IsWindowVisible(window) != FALSE;
    ShowWindow(window, SW_SHOW);
    if (!wasVisible) {
        SetForegroundWindow(window);
        state_->focus = state_->Kraj();
        SetFocus(state_->FocusTarget());
    }
}

void Win32Ui::RepaintWindow() {
    if (state_->window != nullptr) {
        RedrawWindow(state_->window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
        // A zero wait on the queue dispatches nothing, but a compositing window
        // system (Wine's window surfaces) takes it as the moment to put the fresh
        // pixels on the screen while the caller goes on working.
        MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);
    }
}

void Win32Ui::AnswerWindowSystem() {
    if (state_->window == nullptr) {
        return;
    }
    // Every message but keyboard and mouse input is handled; input is not even taken
    // from the queue, so a click or a key waits for the event loop. The system sees
    // the thread read its messages and never puts a "Not Responding" ghost in its place.
    struct Range {
        UINT first, last;
    };
    const Range allButInput[] = {{0, WM_NCMOUSEMOVE - 1},
                                 {WM_NCXBUTTONDBLCLK + 1, WM_KEYFIRST - 1},
                                 {WM_KEYLAST + 1, WM_MOUSEFIRST - 1},
                                 {WM_MOUSELAST + 1, 0xFFFFFFFFu}};
    state_->answeringOnly = true;
    MSG message{};
    bool quit = false;
    // Bounded: a timer that keeps firing must not hold the update up.
    for (int handled = 0, round = 1; round > 0 && handled < 1000 && !quit;) {
        round = 0;
        for (const Range &range : allButInput) {
            while (!quit && handled < 1000 &&
                   PeekMessageW(&message, nullptr, range.first, range.last, PM_REMOVE)) {
                ++round;
                ++handled;
                if (message.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(message.wParam)); // for the event loop
                    quit = true;
                    break;
                }
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    state_->answeringOnly = false;
}

void Win32Ui::ShowProgress(std::uint64_t done, std::uint64_t total) {
    if (state_->window == nullptr || !state_->taskbar) {
        return; // no button yet, or no shell that shows progress
    }
    if (total == 0) {
        state_->taskbar.Get()->SetProgressState(state_->window, TBPF_NOPROGRESS);
    } else {
        state_->taskbar.Get()->SetProgressValue(state_->window, std::min(done, total), total);
    }
}

WindowHandle Win32Ui::GetWindowHandle() {
    return reinterpret_cast<WindowHandle>(state_->window);
}

void Win32Ui::CloseLauncherWindow() {
    if (state_->window != nullptr) {
        DestroyWindow(state_->window);
    }
}

void Win32Ui::RunEventLoop() {
    // The window may already be gone (the normal start-up closes it before the
    // loop runs): then there is nothing to wait for.
    MSG message{};
    while (state_->window != nullptr && !state_->pendingFailure) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        if (state_->window != nullptr && IsDialogMessageW(state_->window, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (state_->pendingFailure) {
        std::exception_ptr failure = state_->pendingFailure;
        state_->pendingFailure = nullptr;
        std::rethrow_exception(failure);
    }
}

namespace {

HWND VisibleOwner(HWND window) {
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

} // namespace

void Win32Ui::ShowMessage(const Text &text, MessageIcon icon, const std::optional<Text> &title) {
    UINT style = MB_OK | MB_SETFOREGROUND;
    if (icon == MessageIcon::Information) {
        style |= MB_ICONINFORMATION;
    } else if (icon == MessageIcon::Exclamation) {
        style |= MB_ICONEXCLAMATION;
    }
    const Text &caption = title ? *title : kApplicationTitle;
    if (MessageBoxW(VisibleOwner(state_->window), text.c_str(), caption.c_str(), style) == 0) {
        throw LastErrorFailure();
    }
}

Text Win32Ui::AskText(const Text &prompt) {
    return win32ui::RunTextPrompt(VisibleOwner(state_->window), kApplicationTitle, prompt);
}

} // namespace dravik
