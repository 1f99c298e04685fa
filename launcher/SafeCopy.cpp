#include "launcher/SafeCopy.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/Retry.h"

namespace dravik {

namespace {

// Another launcher may be copying to the first names; leftovers may hold some too.
constexpr int kTemporaryNames = 100;
// A new file is often opened at once by a virus scanner or an indexer, which
// refuses the move for a moment.
constexpr RetryPlan kRefusedMoveRetry{2000, 100};

void RemoveQuietly(PlatformServices &platform, const Text &path) {
    try {
        platform.DeleteFileIfPresent(path);
    } catch (const Failure &) {
        // The original failure is the one worth reporting.
    }
}

// Copies `source` to the first temporary name no one has; the name it took.
Text CopyToTemporaryFile(PlatformServices &platform, const Text &source, const Text &target,
                         const CopyProgress &progress) {
    for (int n = 1;; ++n) {
        const Text temporary = TemporaryCopyPath(target, n);
        try {
            platform.CopyToNewFile(source, temporary, progress);
            return temporary;
        } catch (const Failure &failure) {
            // A name someone else has is never touched; a failed copy removed its own file.
            if (failure.Kind() != FailureKind::AlreadyExists || n == kTemporaryNames)
                throw;
        }
    }
}

bool IsMomentaryRefusal(const Failure &failure) {
    return failure.Kind() == FailureKind::SharingViolation ||
           failure.Kind() == FailureKind::AccessDenied;
}

void MoveIntoPlace(PlatformServices &platform, const Text &temporary, const Text &target) {
    try {
        platform.MakeFileOrdinary(target); // a read-only file cannot be replaced
    } catch (const Failure &) {
        // The move says what is in the way.
    }
    std::optional<Failure> refusal;
    if (!RetryWithin(platform, kRefusedMoveRetry, [&] {
            try {
                platform.MoveFileOver(temporary, target);
                return true;
            } catch (const Failure &failure) {
                if (!IsMomentaryRefusal(failure))
                    throw;
                refusal = failure;
                return false;
            }
        }))
        throw *refusal;
}

} // namespace

Text TemporaryCopyPath(const Text &target, int n) {
    return target + L"." + std::to_wstring(n) + L".dravik-tmp";
}

Failure ServerFileChanged(const Text &source, const Text &target) {
    return Failure(L"Datoteka na serveru promijenila se dok se kopirala; pokušajte "
                   L"ponovno kad se nova verzija do kraja objavi.",
                   FailureKind::Other, {source, target});
}

CopyTaken CopyIntoPlace(PlatformServices &platform, const Text &source, const Text &target,
                        const CopyProgress &progress, IfReplaced ifReplaced) {
    // A failure names the files the user knows, never the temporary one.
    Text temporary;
    FileStamp before;
    try {
        // A server file that changes while it is copied (an administrator still
        // copying the new version there) would give a torn copy, taken for current
        // until the next version: it is looked at before and after, and must not
        // have changed.
        before = platform.StampOf(source);
        temporary = CopyToTemporaryFile(platform, source, target, progress);
        FileStamp after;
        try {
            after = platform.StampOf(source);
        } catch (const Failure &) {
            RemoveQuietly(platform, temporary); // the server went away meanwhile
            throw;
        }
        if (after != before) {
            RemoveQuietly(platform, temporary);
            // Another file renamed into the source's place is a publish at work: the
            // caller may take the version again once it is done. A file written
            // where it stands is torn, whoever is writing it.
            if (after.fileId != before.fileId && ifReplaced == IfReplaced::Report)
                return {before, true};
            throw ServerFileChanged(source, target);
        }
    } catch (const Failure &failure) {
        throw failure.ConcerningFiles({source, target});
    }
    try {
        // Attributes come along with a copy: a read-only copy could never be
        // replaced, and a hidden one would never be found.
        platform.MakeFileOrdinary(temporary);
        // After a power cut the rename could otherwise stand over data never written.
        platform.FlushFile(temporary);
        MoveIntoPlace(platform, temporary, target);
    } catch (const Failure &failure) {
        RemoveQuietly(platform, temporary);
        throw failure.ConcerningFiles({source, target});
    }
    return {before, false};
}

void RemoveLeftoverCopies(PlatformServices &platform, const Text &folder) {
    std::vector<Text> names;
    try {
        names = FilesMatching(platform, folder + L"\\" + kTemporaryCopyPattern);
    } catch (const Failure &) {
        return; // leftovers block nothing; the update goes on
    }
    for (const Text &name : names)
        RemoveQuietly(platform, folder + L"\\" + name);
}

} // namespace dravik
