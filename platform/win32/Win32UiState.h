// What the launcher window's services keep between calls, shared by the files
// that make the window, answer its messages and run its message pump.
#pragma once

#include <windows.h>

#include <shobjidl.h>

#include <array>
#include <exception>

#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Ui.h"
#include "platform/win32/Win32UiControls.h"

namespace dravik {

struct Win32Ui::State {
    HWND window = nullptr;
    std::array<HWND, win32ui::kControlCount> controls{};
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
    UniqueComInterface<ITaskbarList3> taskbar;
    UniqueFont labelFont;
    UniqueFont buttonFont;
    UniqueIcon smallIcon;
    UniqueIcon bigIcon;

    HWND ControlWindow(Control control) const { return controls[win32ui::IndexOf(control)]; }
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

} // namespace dravik
