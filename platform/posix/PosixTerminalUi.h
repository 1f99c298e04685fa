// The launcher window, message box and prompt drawn on a terminal: the window's
// status text is printed when it shows or changes, its buttons become numbered
// choices read from the input, and message boxes are printed blocks.
#pragma once

#include <cstdio>
#include <map>
#include <optional>

#include "platform/WindowServices.h"

namespace dravik {

class PosixTerminalUi : public WindowServices {
public:
    // Reads answers from `input` and prints to `output` (standard input and output
    // in the product); output is UTF-8.
    PosixTerminalUi(std::FILE *input, std::FILE *output);

    void CreateLauncherWindow(const WindowLayout &layout, ClickHandler onClick) override;
    void SetWindowPosition(double leftTwips, double topTwips) override;
    TwipSize WindowSize() override;
    TwipSize ScreenSize() override;
    void SetControlText(Control control, const Text &text) override;
    void SetControlVisible(Control control, bool visible) override;
    void SetWindowVisible(bool visible) override;
    void RepaintWindow() override;
    // The terminal draws each change at once and is never taken for hung.
    void KeepWindowResponsive() override {}
    // On a terminal, "[caption] NN%" on the line the cursor is on, rewritten as it
    // grows and wiped when done; nothing where the output is a file or a pipe.
    void ShowProgress(std::uint64_t done, std::uint64_t total) override;
    WindowHandle GetWindowHandle() override;
    void CloseLauncherWindow() override;
    void RunEventLoop() override;
    void ShowMessage(const Text &text, MessageIcon icon,
                     const std::optional<Text> &title = std::nullopt) override;
    Text AskText(const Text &prompt) override;

private:
    void PrintStatus();
    void Print(const Text &text);
    bool ReadLine(Text &line);
    bool InputIsTerminal() const;

    std::FILE *input_;
    std::FILE *output_;
    WindowLayout layout_{};
    ClickHandler onClick_;
    std::map<Control, Text> captions_;
    std::map<Control, bool> visible_;
    bool created_ = false;
    bool shown_ = false;
    bool closed_ = false;
    Text printedStatus_;    // the status text last printed, so a repaint does not repeat it
    int shownPercent_ = -1; // the progress on the status line, -1 when there is none
};

} // namespace dravik
