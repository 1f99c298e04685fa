// The launcher window, the message box and the prompt on Win32: the window made
// from its layout, and what the program asks of it between messages.
//
// The window is an ordinary top-level window (class kLauncherClassName in
// Win32UiIds.h) with a fixed frame; its controls carry the IDs of the table in
// Win32UiControls.h. Controls are created in ascending tab order, so the z-order
// is the tab order.
//
// All text goes through the wide API: Croatian letters show whatever the ANSI
// code page is.
#include "platform/win32/Win32Ui.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/Win32Dpi.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Prompt.h"
#include "platform/win32/Win32UiState.h"

namespace dravik {
namespace {

using win32ui::PixelsToTwips;
using win32ui::TwipsToPixels;

// The program's icon resource, which DravikVT.exe and the test programs that open
// the window carry, so the window and the file show the same picture.
UniqueIcon LauncherIcon(int size) {
    return UniqueIcon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                    IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

HWND VisibleOwner(HWND window) {
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

} // namespace

Win32Ui::Win32Ui() : state_(std::make_unique<State>()) {
    win32ui::EnableDpiAwareness();
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

    state.labelFont = win32ui::MakeFont(layout.labelFont, dpi);
    // The buttons keep the classic form font, MS Sans Serif 8 pt: narrow enough
    // for "Uzmi novi MDA" in its 1095-twip button, with the Central European
    // letters.
    state.buttonFont =
        win32ui::MakeFont(FontSpec{L"MS Sans Serif", 8.25, FW_NORMAL, EASTEUROPE_CHARSET}, dpi);
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
        const std::size_t row = win32ui::IndexOf(control->id);
        const bool isButton = control->kind == ControlKind::PushButton;
        const DWORD controlStyle =
            WS_CHILD | WS_VISIBLE | (isButton ? WS_TABSTOP | BS_PUSHBUTTON : SS_LEFT | SS_NOPREFIX);
        const int left = TwipsToPixels(control->left, dpi);
        const int top = TwipsToPixels(control->top, dpi);
        HWND child = CreateWindowExW(
            0, isButton ? L"BUTTON" : L"STATIC", control->caption.c_str(), controlStyle, left, top,
            TwipsToPixels(control->left + control->width, dpi) - left,
            TwipsToPixels(control->top + control->height, dpi) - top, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(win32ui::kControls[row].id)), instance,
            nullptr);
        if (child == nullptr) {
            Failure failure = LastErrorFailure();
            DestroyWindow(window);
            throw failure;
        }
        HFONT childFont = isButton ? buttonFont : state.labelFont.Get();
        if (childFont != nullptr) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(childFont), FALSE);
        }
        state.controls[row] = child;
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
