#include "publish/RecordEmptying.h"

#include <algorithm>

#include "platform/common/FileNames.h"
#include "platform/common/PublicationMark.h"
#include "publish/KeptVersion.h"

namespace dravik::publish {

std::optional<Text> UntrustedRecord(PlatformServices &platform, const Text &record) {
    switch (platform.KindOfPath(record)) {
    case PathKind::Folder:
        return L"\"" + record +
               L"\" is a folder, not a file: no launcher can record itself in it. Remove it, "
               L"and create an empty " +
               Text(kRecordFileName) + L" in its place.";
    case PathKind::Link:
        return L"\"" + record +
               L"\" is a link (a symbolic link, or on Windows a reparse point), not a file: "
               L"emptying it would empty the file it leads to. Put the file itself in its place.";
    default:
        return std::nullopt;
    }
}

RecordEmptying::RecordEmptying(PlatformServices &platform, Text record, Text runId)
    : platform_(platform), record_(std::move(record)), runId_(std::move(runId)) {}

void RecordEmptying::HoldFor(const std::function<void()> &step) {
    // Looked at again: a launcher may have created the record meanwhile, and an
    // absent one is never created here.
    const bool taking = !hold_ && platform_.KindOfPath(record_) != PathKind::Nothing;
    if (taking) {
        if (std::optional<Text> refusal = UntrustedRecord(platform_, record_))
            throw Failure(*refusal, FailureKind::Other, {record_});
        hold_ = platform_.TryHoldRecord(record_);
        if (!hold_)
            throw Failure(L"The file is being used by another process.",
                          FailureKind::SharingViolation, {record_});
    }
    try {
        step();
    } catch (const Failure &) {
        if (taking)
            hold_.reset();
        throw;
    }
    if (taking)
        heldUntil_ = platform_.MillisecondsNow() + kLongestRecordHoldMs;
}

std::optional<std::int64_t> RecordEmptying::MillisecondsLeft() {
    if (!hold_)
        return std::nullopt;
    return std::max<std::int64_t>(0, heldUntil_ - platform_.MillisecondsNow());
}

bool RecordEmptying::EmptyAndMark(const std::optional<Text> &kept) {
    if (!hold_)
        return false;
    // The kept copy is whole on the disk before anything is cut; failing, it leaves
    // the record as it was.
    if (kept) {
        try {
            hold_->CopyTo(*kept);
        } catch (const Failure &failure) {
            throw Failure(L"cannot keep it as " + *kept + L": " + failure.Cause(), failure.Kind(),
                          failure.Paths(), failure.SystemCode());
        }
    }
    // Cut first, then the mark alone: it is never written over the old lines.
    hold_->Cut();
    hold_->WriteLine(PublicationMarkLine(runId_, NowText(platform_)));
    hold_->Flush();
    return true;
}

} // namespace dravik::publish
