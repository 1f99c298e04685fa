#include "launcher/UpdateRecord.h"

#include <string_view>

namespace dravik {

namespace {

// Longer than a publish may hold the record file once it has begun to put files in
// place, and than a morning's burst of workstations appending one after another.
constexpr std::int64_t kHeldRecordWaitMs = 120000;

bool LineIsForKey(const Text &line, const Text &key) {
    std::size_t tab = line.find(L'\t');
    if (tab == Text::npos)
        return line == key; // an untabbed line is compared whole, untrimmed
    // The key part, trimmed of spaces, without copying it out of the line.
    std::wstring_view part(line.data(), tab);
    while (!part.empty() && part.front() == L' ')
        part.remove_prefix(1);
    while (!part.empty() && part.back() == L' ')
        part.remove_suffix(1);
    return part == key;
}

} // namespace

RecordLookup LookUpRecord(PlatformServices &platform, const Text &recordFilePath, const Text &key) {
    RecordLookup lookup;
    if (platform.FindFirstMatch(recordFilePath).empty())
        return lookup;
    bool first = true;
    // Every line is read: the file is shared and may be long, so it is streamed.
    platform.ForEachLine(recordFilePath, [&](const Text &line) {
        if (first)
            lookup.firstLine = line;
        first = false;
        lookup.recorded = LineIsForKey(line, key) || lookup.recorded;
    });
    return lookup;
}

Text FirstRecordLine(PlatformServices &platform, const Text &recordFilePath) {
    struct Enough {};
    Text first;
    try {
        if (platform.FindFirstMatch(recordFilePath).empty())
            return first;
        platform.ForEachLine(recordFilePath, [&](const Text &line) {
            first = line;
            throw Enough{}; // the rest of a long record is not needed
        });
    } catch (const Enough &) {
    } catch (const Failure &) {
        // Held or out of reach for now: no line noted, so the files taken are all
        // looked at again before the record line goes in.
        first.clear();
    }
    return first;
}

bool AppendRecord(PlatformServices &platform, const Text &recordFilePath, const Text &key,
                  const std::function<bool(const Text &)> &stillWanted) {
    const Text line = key + L"\t\t" + platform.DateText() + L" - " + platform.TimeText();
    // Each append already tries again for a moment; a longer hold is waited for here,
    // between those tries, where the window can answer the system.
    const std::int64_t start = platform.MillisecondsNow();
    for (;;) {
        try {
            return platform.AppendLineIf(recordFilePath, line, stillWanted);
        } catch (const Failure &failure) {
            if (failure.Kind() != FailureKind::SharingViolation ||
                platform.MillisecondsNow() - start >= kHeldRecordWaitMs)
                throw;
        }
        platform.Window().KeepWindowResponsive();
    }
}

} // namespace dravik
