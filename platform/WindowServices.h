// The launcher's one window, its message boxes and its prompt: the part of the
// platform the user sees. Reached through PlatformServices::Window().
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dravik {

using Text = std::wstring;

// Opaque handle of the launcher window, handed to the shell as owner.
using WindowHandle = std::uintptr_t;

enum class MessageIcon { None, Information, Exclamation };

// The four controls of the launcher window.
enum class Control { CmdKraj, CmdPokreniProgram, CmdUzmiNoviMDE, Label1 };

enum class ControlKind { PushButton, Label };

struct ControlLayout {
    Control id;
    const wchar_t *name; // the control's name in the program, e.g. L"CmdKraj"
    ControlKind kind;
    Text caption;
    int left, top, width, height; // twips, relative to the client area
    int tabOrder;
};

struct FontSpec {
    Text face;
    double points;
    int weight;
    int charset;
};

struct WindowLayout {
    Text caption;
    int clientWidth, clientHeight; // twips
    std::vector<ControlLayout> controls;
    FontSpec labelFont;
};

struct TwipSize {
    double width;
    double height;
};

// Called by the event loop when a button is clicked.
using ClickHandler = std::function<void(Control)>;

// The title on untitled message boxes and on the prompt.
inline const Text kApplicationTitle = L"DravikVT";

class WindowServices {
public:
    virtual ~WindowServices() = default;

    // Creates the one window hidden and routes button clicks to `onClick`.
    virtual void CreateLauncherWindow(const WindowLayout &layout, ClickHandler onClick) = 0;
    virtual void SetWindowPosition(double leftTwips, double topTwips) = 0;
    virtual TwipSize WindowSize() = 0;
    virtual TwipSize ScreenSize() = 0;
    virtual void SetControlText(Control control, const Text &text) = 0;
    virtual void SetControlVisible(Control control, bool visible) = 0;
    virtual void SetWindowVisible(bool visible) = 0;
    virtual void RepaintWindow() = 0;
    // Lets the window answer the system while the program is busy (repaints, the
    // system asking whether it is alive), so that it is never taken for hung; runs no
    // click handler and lets no close through: those wait for the event loop.
    virtual void KeepWindowResponsive() = 0;
    // Shows how far the work has got, `done` of `total`, without changing the window's
    // layout: on the window's taskbar button, or the terminal's status line. A total
    // of 0 takes it away.
    virtual void ShowProgress(std::uint64_t done, std::uint64_t total) = 0;
    virtual WindowHandle GetWindowHandle() = 0;
    // Unloads the window; with it gone the event loop returns.
    virtual void CloseLauncherWindow() = 0;
    // Delivers clicks until no window is left.
    virtual void RunEventLoop() = 0;

    // Modal message box with one OK button; without a title the application's title.
    virtual void ShowMessage(const Text &text, MessageIcon icon,
                             const std::optional<Text> &title = std::nullopt) = 0;
    // Modal prompt with an empty text field, OK and Cancel; Cancel answers "".
    virtual Text AskText(const Text &prompt) = 0;
};

} // namespace dravik
