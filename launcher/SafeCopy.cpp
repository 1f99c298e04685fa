#include "launcher/SafeCopy.h"

namespace dravik {

Text TemporaryCopyPath(const Text &target) {
    return target + L".dravik-tmp";
}

namespace {

void RemoveQuietly(PlatformServices &platform, const Text &path) {
    try {
        platform.DeleteFileIfPresent(path);
    } catch (const Failure &) {
        // The original failure is the one worth reporting.
    }
}

} // namespace

void CopyIntoPlace(PlatformServices &platform, const Text &source, const Text &target) {
    const Text temporary = TemporaryCopyPath(target);
    try {
        platform.CopyFileOver(source, temporary);
        platform.MoveFileOver(temporary, target);
    } catch (const Failure &) {
        RemoveQuietly(platform, temporary);
        throw;
    }
}

} // namespace dravik
