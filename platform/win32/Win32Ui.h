// The launcher window, the message box and the prompt on Win32. The platform's
// window services forward here one to one.
#pragma once

#include <memory>

#include "platform/PlatformServices.h"

namespace dravik {

class Win32Ui {
public:
    Win32Ui();
    ~Win32Ui();
    Win32Ui(const Win32Ui &) = delete;
    Win32Ui &operator=(const Win32Ui &) = delete;

    void CreateLauncherWindow(const WindowLayout &layout, ClickHandler onClick);
    void SetWindowPosition(double leftTwips, double topTwips);
    TwipSize WindowSize();
    TwipSize ScreenSize();
    void SetControlText(Control control, const Text &text);
    void SetControlVisible(Control control, bool visible);
    void SetWindowVisible(bool visible);
    void RepaintWindow();
    void AnswerWindowSystem();
    void ShowProgress(std::uint64_t done, std::uint64_t total);
    WindowHandle GetWindowHandle();
    void CloseLauncherWindow();
    void RunEventLoop();
    void ShowMessage(const Text &text, MessageIcon icon, const std::optional<Text> &title);
    Text AskText(const Text &prompt);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace dravik
