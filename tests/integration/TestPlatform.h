// The platform the program ships with, with two changes: the program folder is a
// folder the test chooses, not the folder of the test executable, and message
// boxes are noted instead of shown, so that an unattended run never waits for
// someone to press OK.
#pragma once

#include <utility>
#include <vector>

#ifdef _WIN32
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Ui.h"
#else
#include <cstdio>

#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PosixTerminalUi.h"
#endif

namespace dravik::test {

#ifdef _WIN32
using SystemPlatformType = Win32Platform;
using SystemWindowType = Win32Ui;
#else
using SystemPlatformType = PosixPlatform;
class SystemWindowType : public PosixTerminalUi {
public:
    SystemWindowType() : PosixTerminalUi(stdin, stdout) {}
};
#endif

class TestPlatform final : public SystemPlatformType {
public:
    struct Message {
        Text text;
        MessageIcon icon;
        std::optional<Text> title;
    };

    explicit TestPlatform(Text programFolder) : programFolder_(std::move(programFolder)) {}

    // What message boxes would have shown, in order.
    std::vector<Message> &messages = window_.messages;

    Text ProgramFolderPath() override { return programFolder_; }
    WindowServices &Window() override { return window_; }

private:
    class NotingWindow final : public SystemWindowType {
    public:
        std::vector<Message> messages;
        void ShowMessage(const Text &text, MessageIcon icon,
                         const std::optional<Text> &title = std::nullopt) override {
            messages.push_back({text, icon, title});
        }
    };

    NotingWindow window_;
    Text programFolder_;
};

} // namespace dravik::test
