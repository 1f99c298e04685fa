#include "launcher/UpdateRecord.h"

#include "launcher/TextRules.h"

namespace dravik {

namespace {

bool LineNamesKey(const Text &line, const Text &key) {
    std::size_t tab = line.find(L'\t');
    if (tab == Text::npos)
        return line == key; // an untabbed line is compared whole, untrimmed
    return TrimSpaces(line.substr(0, tab)) == key;
}

} // namespace

bool IsRecorded(PlatformServices &platform, const Text &recordFilePath, const Text &key) {
    if (platform.FindFirstMatch(recordFilePath).empty())
        return false;
    bool recorded = false;
    for (const Text &line : platform.ReadAllLines(recordFilePath))
        recorded = LineNamesKey(line, key) || recorded;
    return recorded;
}

void AppendRecord(PlatformServices &platform, const Text &recordFilePath, const Text &key) {
    Text line = key + L"\t\t" + platform.DateText() + L" - " + platform.TimeText();
    platform.AppendLine(recordFilePath, line);
}

} // namespace dravik
