// The POSIX platform: construction, the registry (a folder tree of its own) and
// the window, which is the terminal's.
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

RegistryServices &PosixPlatform::Registry() {
    return *registry_;
}

WindowServices &PosixPlatform::Window() {
    return *ui_;
}

} // namespace dravik
