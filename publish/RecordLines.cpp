#include "publish/RecordLines.h"

#include <map>

#include "platform/common/PublicationMark.h"

namespace dravik::publish {

namespace {

Text TrimSpaces(const Text &text) {
    const std::size_t first = text.find_first_not_of(L' ');
    if (first == Text::npos)
        return Text();
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// The key a launcher looks itself up by: before the first tab, trimmed of spaces;
// the whole line when it has no tab.
Text MatchingKey(const Text &line) {
    const std::size_t tab = line.find(L'\t');
    return tab == Text::npos ? line : TrimSpaces(line.substr(0, tab));
}

// A line as a launcher writes it: "COMPUTER_user", two tabs, "date - time". Its key
// and its time, or nothing for a line in another form.
bool InLauncherForm(const Text &line, Text &key, Text &when) {
    const std::size_t tab = line.find(L"\t\t");
    if (tab == Text::npos || tab == 0 || line.find(L'\t') != tab)
        return false;
    key = line.substr(0, tab);
    when = line.substr(tab + 2);
    const std::size_t dash = when.find(L" - ");
    return key == TrimSpaces(key) && key.find(L'_') != Text::npos &&
           when.find(L'\t') == Text::npos && dash != Text::npos && dash > 0 &&
           dash + 3 < when.size();
}

} // namespace

RecordLines ReadRecordLines(PlatformServices &platform, const Text &path) {
    RecordLines record;
    if (platform.FindFirstMatch(path).empty())
        return record;
    std::map<Text, std::size_t> pairAt; // a long record file is read in one pass
    platform.ForEachLine(path, [&](const Text &line) {
        if (line.empty() || IsPublicationMark(line))
            return; // carries no pair: a launcher never writes one
        record.keys.insert(MatchingKey(line));
        Text key, when;
        if (!InLauncherForm(line, key, when)) {
            record.byHand.push_back(line);
            return;
        }
        auto [at, added] = pairAt.emplace(key, record.pairs.size());
        if (added)
            record.pairs.push_back({key, when});
        else
            ++record.pairs[at->second].lines;
    });
    return record;
}

} // namespace dravik::publish
