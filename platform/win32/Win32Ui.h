// The launcher window, the message box and the prompt on Win32: the platform's
// window services.
#pragma once

#include <memory>

#include "platform/WindowServices.h"

namespace dravik {

class Win32Ui : public WindowServices {
public:
    Win32Ui();
    ~Win32Ui() override;
    Win32Ui(const Win32Ui &) = delete;
    Win32Ui &operator=(const Win32Ui &) = delete;

    void CreateLauncherWindow(const WindowLayout &layout, ClickHandler onClick) override;
    void SetWindowPosition(double leftTwips, double topTwips) override;
    TwipSize WindowSize() override;
    TwipSize ScreenSize() override;
    void SetControlText(Control control, const Text &text) override;
    void SetControlVisible(Control control, bool visible) override;
    void SetWindowVisible(bool visible) override;
    void RepaintWindow() override;
    void KeepWindowResponsive() override;
    void ShowProgress(std::uint64_t done, std::uint64_t total) override;
    WindowHandle GetWindowHandle() override;
    void CloseLauncherWindow() override;
    void RunEventLoop() override;
    void ShowMessage(const Text &text, MessageIcon icon,
                     const std::optional<Text> &title = std::nullopt) override;
    Text AskText(const Text &prompt) override;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace dravik
