// The real platform with one change: the program folder is a folder the test
// chooses, not the folder of the test executable. Every other call goes to the
// system, except message boxes, which are noted instead of shown so that an
// unattended run never waits for someone to press OK.
#pragma once

#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik::test {

class ForwardingPlatform final : public PlatformServices {
public:
    struct Message {
        Text text;
        MessageIcon icon;
        std::optional<Text> title;
    };

    ForwardingPlatform(std::unique_ptr<PlatformServices> real, Text programFolder)
        : real_(std::move(real)), programFolder_(std::move(programFolder)) {}

    // What message boxes would have shown, in order.
    std::vector<Message> messages;

    Text ProgramFolderPath() override { return programFolder_; }

    Text GetEnvVar(const Text &name) override { return real_->GetEnvVar(name); }
    Text DateText() override { return real_->DateText(); }
    Text TimeText() override { return real_->TimeText(); }
    bool IsKeyDown(int virtualKey) override { return real_->IsKeyDown(virtualKey); }
    void SleepMilliseconds(int milliseconds) override { real_->SleepMilliseconds(milliseconds); }
    [[noreturn]] void EndProgram(int exitCode) override {
        real_->EndProgram(exitCode);
        std::terminate(); // not reached: the real one ends the process
    }
    Text ToUpper(const Text &text) override { return real_->ToUpper(text); }
    Text ToLower(const Text &text) override { return real_->ToLower(text); }

    std::vector<Text> ReadAllLines(const Text &path) override { return real_->ReadAllLines(path); }
    void ForEachLine(const Text &path, const std::function<void(const Text &)> &visit) override {
        real_->ForEachLine(path, visit);
    }
    void ForEachLineBytes(const Text &path,
                          const std::function<void(const std::string &)> &visit) override {
        real_->ForEachLineBytes(path, visit);
    }
    Text DecodeAnsi(const std::string &bytes) override { return real_->DecodeAnsi(bytes); }
    void AppendLine(const Text &path, const Text &text) override { real_->AppendLine(path, text); }
    Text FindFirstMatch(const Text &pathPattern) override {
        return real_->FindFirstMatch(pathPattern);
    }
    Text FindNextMatch() override { return real_->FindNextMatch(); }
    void CopyFileOver(const Text &source, const Text &target,
                      const CopyProgress &progress) override {
        real_->CopyFileOver(source, target, progress);
    }
    void CopyToNewFile(const Text &source, const Text &target,
                       const CopyProgress &progress) override {
        real_->CopyToNewFile(source, target, progress);
    }
    FileStamp StampOf(const Text &path) override { return real_->StampOf(path); }
    void MakeFileOrdinary(const Text &path) override { real_->MakeFileOrdinary(path); }
    std::unique_ptr<FileLock> TryLockFile(const Text &path) override {
        return real_->TryLockFile(path);
    }
    void MoveFileOver(const Text &source, const Text &target) override {
        real_->MoveFileOver(source, target);
    }
    void DeleteFileIfPresent(const Text &path) override { real_->DeleteFileIfPresent(path); }
    void EmptyFile(const Text &path) override { real_->EmptyFile(path); }
    Text ParentFolderOf(const Text &path) override { return real_->ParentFolderOf(path); }

    long RegOpenKeyExA(const Text &subKey, std::uint32_t accessMask, RegKey &key) override {
        return real_->RegOpenKeyExA(subKey, accessMask, key);
    }
    long RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type, Text &buffer,
                          std::uint32_t &byteCount) override {
        return real_->RegQueryValueExA(key, valueName, type, buffer, byteCount);
    }
    long RegCreateKeyA(const Text &subKey, RegKey &key) override {
        return real_->RegCreateKeyA(subKey, key);
    }
    long RegSetValueExA(RegKey key, const Text &valueName, const Text &text,
                        std::uint32_t byteCount) override {
        return real_->RegSetValueExA(key, valueName, text, byteCount);
    }
    long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) override {
        return real_->RegSetValueExA(key, valueName, number);
    }
    long RegCloseKey(RegKey key) override { return real_->RegCloseKey(key); }

    void CreateLauncherWindow(const WindowLayout &layout, ClickHandler onClick) override {
        real_->CreateLauncherWindow(layout, std::move(onClick));
    }
    void SetWindowPosition(double leftTwips, double topTwips) override {
        real_->SetWindowPosition(leftTwips, topTwips);
    }
    TwipSize WindowSize() override { return real_->WindowSize(); }
    TwipSize ScreenSize() override { return real_->ScreenSize(); }
    void SetControlText(Control control, const Text &text) override {
        real_->SetControlText(control, text);
    }
    void SetControlVisible(Control control, bool visible) override {
        real_->SetControlVisible(control, visible);
    }
    void SetWindowVisible(bool visible) override { real_->SetWindowVisible(visible); }
    void RepaintWindow() override { real_->RepaintWindow(); }
    void AnswerWindowSystem() override { real_->AnswerWindowSystem(); }
    void ShowProgress(std::uint64_t done, std::uint64_t total) override {
        real_->ShowProgress(done, total);
    }
    WindowHandle GetWindowHandle() override { return real_->GetWindowHandle(); }
    void CloseLauncherWindow() override { real_->CloseLauncherWindow(); }
    void RunEventLoop() override { real_->RunEventLoop(); }

    void ShowMessage(const Text &text, MessageIcon icon,
                     const std::optional<Text> &title = std::nullopt) override {
        messages.push_back({text, icon, title});
    }
    Text AskText(const Text &prompt) override { return real_->AskText(prompt); }

    void StartProgram(WindowHandle owner, const Text &file, const Text &parameters,
                      const Text &workingFolder, int showMode) override {
        real_->StartProgram(owner, file, parameters, workingFolder, showMode);
    }

private:
    std::unique_ptr<PlatformServices> real_;
    Text programFolder_;
};

} // namespace dravik::test
