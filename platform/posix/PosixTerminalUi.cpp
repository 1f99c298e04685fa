#include "platform/posix/PosixTerminalUi.h"

#include <unistd.h>

#include <algorithm>

#include "platform/posix/PosixText.h"

namespace dravik {

namespace {

// A fixed dialog frame of 3 pixels on each side and a 24-pixel caption bar, in twips.
constexpr double kFrameWidth = 2 * 3 * 15;
constexpr double kFrameHeight = (2 * 3 + 24) * 15;
// The terminal has no screen of its own; a common 1920 x 1080 one is assumed.
constexpr double kScreenWidth = 1920 * 15;
constexpr double kScreenHeight = 1080 * 15;
constexpr WindowHandle kWindowHandle = 1;

// The buttons as numbered choices, left to right as they stand in the window.
const Control kChoices[] = {Control::CmdUzmiNoviMDE, Control::CmdPokreniProgram, Control::CmdKraj};

// CR LF and lone CRs become the terminal's line end.
Text TerminalLines(const Text &text) {
    Text lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            lines += L'\n';
            if (i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
        } else {
            lines += text[i];
        }
    }
    return lines;
}

Text Trimmed(const Text &text) {
    std::size_t first = text.find_first_not_of(L" \t");
    if (first == Text::npos)
        return L"";
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

} // namespace

PosixTerminalUi::PosixTerminalUi(std::FILE *input, std::FILE *output)
    : input_(input), output_(output) {}

void PosixTerminalUi::CreateLauncherWindow(const WindowLayout &layout, ClickHandler onClick) {
    layout_ = layout;
    onClick_ = std::move(onClick);
    captions_.clear();
    visible_.clear();
    for (const ControlLayout &control : layout.controls) {
        captions_[control.id] = control.caption;
        visible_[control.id] = true;
    }
    created_ = true;
    shown_ = false;
    closed_ = false;
    printedStatus_.clear();
}

void PosixTerminalUi::SetWindowPosition(double, double) {} // a terminal has no place for it

TwipSize PosixTerminalUi::WindowSize() {
    return {layout_.clientWidth + kFrameWidth, layout_.clientHeight + kFrameHeight};
}

TwipSize PosixTerminalUi::ScreenSize() {
    return {kScreenWidth, kScreenHeight};
}

void PosixTerminalUi::SetControlText(Control control, const Text &text) {
    captions_[control] = text;
    if (control == Control::Label1)
        PrintStatus();
}

void PosixTerminalUi::SetControlVisible(Control control, bool visible) {
    visible_[control] = visible;
    if (control == Control::Label1)
        PrintStatus();
}

void PosixTerminalUi::SetWindowVisible(bool visible) {
    if (!created_ || closed_)
        return;
    shown_ = visible;
    if (!visible)
        printedStatus_.clear(); // shown again, it is printed again
    PrintStatus();
}

void PosixTerminalUi::RepaintWindow() {
    PrintStatus();
}

void PosixTerminalUi::ShowProgress(std::uint64_t done, std::uint64_t total) {
    if (isatty(fileno(output_)) != 1)
        return;
    if (total == 0) {
        if (shownPercent_ >= 0)
            Print(L"\r\x1b[K"); // the line as it was before
        shownPercent_ = -1;
        return;
    }
    const int percent = static_cast<int>(std::min<std::uint64_t>(done, total) * 100 / total);
    if (percent == shownPercent_)
        return;
    shownPercent_ = percent;
    Print(L"\r[" + layout_.caption + L"] " + std::to_wstring(percent) + L"%");
}

WindowHandle PosixTerminalUi::GetWindowHandle() {
    return kWindowHandle;
}

void PosixTerminalUi::CloseLauncherWindow() {
    closed_ = true;
    shown_ = false;
}

void PosixTerminalUi::RunEventLoop() {
    while (created_ && !closed_ && shown_) {
        Text menu;
        for (std::size_t i = 0; i < 3; ++i) {
            if (!visible_[kChoices[i]])
                continue;
            if (!menu.empty())
                menu += L"  ";
            menu += std::to_wstring(i + 1) + L") " + captions_[kChoices[i]];
        }
        Print(menu + L"\n> ");
        Text answer;
        bool answered = ReadLine(answer);
        if (!InputIsTerminal())
            Print(L"\n"); // the typed line end was not echoed
        if (!answered) {
            CloseLauncherWindow(); // the end of input closes the window, as its close box would
            return;
        }
        answer = Trimmed(answer);
        for (std::size_t i = 0; i < 3; ++i) {
            if (answer == std::to_wstring(i + 1) && visible_[kChoices[i]] && onClick_) {
                onClick_(kChoices[i]);
                break;
            }
        }
    }
}

void PosixTerminalUi::ShowMessage(const Text &text, MessageIcon icon,
                                  const std::optional<Text> &title) {
    Text heading = L"=== " + title.value_or(kApplicationTitle);
    if (icon == MessageIcon::Information)
        heading += L" (Information)";
    else if (icon == MessageIcon::Exclamation)
        heading += L" (Exclamation)";
    Print(L"\n" + heading + L" ===\n" + TerminalLines(text) + L"\n");
    // Only someone at a terminal can press OK; input from a file or pipe holds the
    // answers to prompts, not to message boxes.
    if (InputIsTerminal()) {
        Print(L"[OK: Enter] ");
        Text ignored;
        ReadLine(ignored);
    }
}

Text PosixTerminalUi::AskText(const Text &prompt) {
    Print(kApplicationTitle + L": " + TerminalLines(prompt) + L" ");
    Text answer;
    bool answered = ReadLine(answer);
    if (!InputIsTerminal())
        Print(L"\n"); // the typed line end was not echoed
    return answered ? answer : L"";
}

void PosixTerminalUi::PrintStatus() {
    const Text &status = captions_[Control::Label1];
    if (!created_ || closed_ || !shown_ || !visible_[Control::Label1] || status.empty()) {
        if (status.empty())
            printedStatus_.clear();
        return;
    }
    if (status == printedStatus_)
        return;
    printedStatus_ = status;
    Print(L"[" + layout_.caption + L"] " + TerminalLines(status) + L"\n");
}

void PosixTerminalUi::Print(const Text &text) {
    std::string bytes = Utf8FromText(text);
    std::fwrite(bytes.data(), 1, bytes.size(), output_);
    std::fflush(output_);
}

bool PosixTerminalUi::ReadLine(Text &line) {
    std::string bytes;
    int c;
    while ((c = std::fgetc(input_)) != EOF && c != '\n')
        bytes += static_cast<char>(c);
    if (c == EOF) {
        std::clearerr(input_); // at a terminal, input goes on after a Ctrl+D
        if (bytes.empty())
            return false;
    }
    if (!bytes.empty() && bytes.back() == '\r')
        bytes.pop_back();
    line = TextFromUtf8(bytes);
    return true;
}

bool PosixTerminalUi::InputIsTerminal() const {
    return isatty(fileno(input_)) == 1;
}

} // namespace dravik
