// The POSIX platform: construction, the registry services, which forward to
// their own class, and the window, which is the terminal's.
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

WindowServices &PosixPlatform::Window() {
    return *ui_;
}

} // namespace dravik
