// The launcher window's procedure: clicks go to the handler, Enter and the focus
// behave as in a dialog, and the taskbar button is taken for progress.
#include <windows.h>

#include <shobjidl.h>

#include <optional>

#include "platform/win32/Win32UiState.h"

namespace dravik {
namespace {

// Sent by the shell when the window's taskbar button exists: only then can the
// button show progress.
UINT TaskbarButtonCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

} // namespace

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
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (std::optional<Control> button = win32ui::ButtonWithId(LOWORD(wParam))) {
                if (onClick && !pendingFailure && !answeringOnly) {
                    // Exceptions must not unwind through the system's dispatcher.
                    try {
                        onClick(*button);
                    } catch (...) {
                        pendingFailure = std::current_exception();
                    }
                }
                return 0;
            }
        }
        break;
    case DM_GETDEFID: {
        // Enter presses the focused button, as in a dialog; otherwise "Kraj".
        HWND focused = GetFocus();
        const int focusedId = IsOwnChild(focused) ? GetDlgCtrlID(focused) : 0;
        const int id = win32ui::ButtonWithId(focusedId) ? focusedId : win32ui::kIdCmdKraj;
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

} // namespace dravik
