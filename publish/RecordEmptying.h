// How a publish or a rollback empties the record file (Kolacici.txt): through one
// hold that keeps appending launchers out, from before the first rename until the
// record holds only the publication mark, so that no launcher records itself on a
// mixed server folder and none of the lines it empties is lost.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/PlatformServices.h"

namespace dravik::publish {

// Launchers wait up to 120 s for a held record file; once a file is renamed, a
// publish holds it no longer than this.
constexpr std::int64_t kLongestRecordHoldMs = 90 * 1000;

// Why the thing at the record file's place is not to be emptied (a folder, a link),
// as a sentence; nothing for a file, or for no file at all.
std::optional<Text> UntrustedRecord(PlatformServices &platform, const Text &record);

class RecordEmptying {
public:
    RecordEmptying(PlatformServices &platform, Text record, Text runId);

    // Takes the hold, when there is a record file now, and runs `step` under it;
    // when the step fails, lets go again before the failure goes on. A launcher
    // appending at this moment fails it as a file in use (SharingViolation).
    void HoldFor(const std::function<void()> &step);
    bool Held() const { return hold_ != nullptr; }
    // Of the longest hold, what is left; nothing while not held.
    std::optional<std::int64_t> MillisecondsLeft();
    void LetGo() { hold_.reset(); }

    // Through the hold: copies the record to `kept` (when given) and writes the copy
    // to the disk, then cuts the record, writes the mark, writes it to the disk.
    // False when nothing is held: no record file.
    bool EmptyAndMark(const std::optional<Text> &kept);

private:
    PlatformServices &platform_;
    Text record_;
    Text runId_;
    std::unique_ptr<HeldRecord> hold_;
    std::int64_t heldUntil_ = 0;
};

} // namespace dravik::publish
