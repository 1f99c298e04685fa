// The POSIX platform: construction, and the registry and window services, which
// forward to their own classes.
#include "platform/posix/PosixPlatform.h"

#include <csignal>
#include <cstdio>

#include "platform/SystemPlatform.h"
#include "platform/posix/PosixRegistry.h"
#include "platform/posix/PosixTerminalUi.h"

namespace dravik {

PosixPlatform::PosixPlatform()
    : registry_(std::make_unique<PosixRegistry>()),
      ui_(std::make_unique<PosixTerminalUi>(stdin, stdout)) {
    // A file-size limit would otherwise kill the process in the middle of a copy,
    // with no message and the temporary copy left behind; ignored, the write fails
    // with EFBIG and the copy reports it like a full disk.
    // The first platform of the process sees how the launcher was started.
    static const bool ignoredAtStart = std::signal(SIGXFSZ, SIG_IGN) == SIG_IGN;
    std::signal(SIGXFSZ, SIG_IGN);
    fileSizeSignalWasIgnored_ = ignoredAtStart;
}

PosixPlatform::~PosixPlatform() = default;

std::unique_ptr<PlatformServices> MakeSystemPlatform() {
    return std::make_unique<PosixPlatform>();
}

long PosixPlatform::RegOpenKeyExA(const Text &subKey, std::uint32_t, RegKey &key) {
    return registry_->OpenKey(subKey, key);
}

long PosixPlatform::RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type,
                                     Text &buffer, std::uint32_t &byteCount) {
    return registry_->QueryValue(key, valueName, type, buffer, byteCount);
}

long PosixPlatform::RegCreateKeyA(const Text &subKey, RegKey &key) {
    return registry_->CreateKey(subKey, key);
}

long PosixPlatform::RegSetValueExA(RegKey key, const Text &valueName, const Text &text,
                                   std::uint32_t byteCount) {
    return registry_->SetText(key, valueName, text, byteCount);
}

long PosixPlatform::RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) {
    return registry_->SetNumber(key, valueName, number);
}

long PosixPlatform::RegCloseKey(RegKey key) {
    return registry_->CloseKey(key);
}

void PosixPlatform::CreateLauncherWindow(const WindowLayout &layout, ClickHandler onClick) {
    ui_->Create(layout, std::move(onClick));
}

void PosixPlatform::SetWindowPosition(double leftTwips, double topTwips) {
    ui_->SetPosition(leftTwips, topTwips);
}

TwipSize PosixPlatform::WindowSize() {
    return ui_->WindowSize();
}
TwipSize PosixPlatform::ScreenSize() {
    return PosixTerminalUi::ScreenSize();
}

void PosixPlatform::SetControlText(Control control, const Text &text) {
    ui_->SetControlText(control, text);
}

void PosixPlatform::SetControlVisible(Control control, bool visible) {
    ui_->SetControlVisible(control, visible);
}

void PosixPlatform::SetWindowVisible(bool visible) {
    ui_->SetWindowVisible(visible);
}
void PosixPlatform::RepaintWindow() {
    ui_->Repaint();
}
// The terminal window draws each change at once and is never taken for hung.
void PosixPlatform::AnswerWindowSystem() {}
void PosixPlatform::ShowProgress(std::uint64_t done, std::uint64_t total) {
    ui_->ShowProgress(done, total);
}
WindowHandle PosixPlatform::GetWindowHandle() {
    return ui_->Handle();
}
void PosixPlatform::CloseLauncherWindow() {
    ui_->CloseWindow();
}
void PosixPlatform::RunEventLoop() {
    ui_->RunEventLoop();
}

void PosixPlatform::ShowMessage(const Text &text, MessageIcon icon,
                                const std::optional<Text> &title) {
    ui_->ShowMessage(text, icon, title);
}

Text PosixPlatform::AskText(const Text &prompt) {
    return ui_->AskText(prompt);
}

} // namespace dravik
