#include "launcher/UpdateRecord.h"

#include <string_view>

namespace dravik {

namespace {

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

bool IsRecorded(PlatformServices &platform, const Text &recordFilePath, const Text &key) {
    if (platform.FindFirstMatch(recordFilePath).empty())
        return false;
    bool recorded = false;
    // Every line is read: the file is shared and may be long, so it is streamed.
    platform.ForEachLine(recordFilePath,
                         [&](const Text &line) { recorded = LineIsForKey(line, key) || recorded; });
    return recorded;
}

bool AppendRecord(PlatformServices &platform, const Text &recordFilePath, const Text &key,
                  const std::function<bool()> &stillWanted) {
    Text line = key + L"\t\t" + platform.DateText() + L" - " + platform.TimeText();
    return platform.AppendLineIf(recordFilePath, line, stillWanted);
}

} // namespace dravik
