#include "publish/NewVersion.h"

#include <algorithm>

namespace dravik::publish {

Text TemporaryNameOf(const Text &runId, const Text &name) {
    // A prefix, not a suffix: the launchers copy every "RuxVT*.*" they find.
    return kTemporaryPrefix + runId + L"~" + name;
}

namespace {

bool StartsWith(const Text &text, const Text &start) {
    return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const Text &text, const Text &end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

bool IsTemporaryName(PlatformServices &platform, const Text &name) {
    return StartsWith(platform.ToUpper(name), platform.ToUpper(kTemporaryPrefix));
}

bool IsFrontEndName(PlatformServices &platform, const Text &name) {
    const Text lower = platform.ToLower(name);
    if (StartsWith(lower, L"ruxvt"))
        return false; // report files come as .ade and .accde too
    for (const wchar_t *extension : {L".ade", L".accde", L".accdb", L".mde"})
        if (EndsWith(lower, extension) &&
            lower.size() > std::char_traits<wchar_t>::length(extension))
            return true;
    return false;
}

NewVersion SortNewVersion(PlatformServices &platform, const std::vector<Text> &names) {
    NewVersion version;
    std::vector<Text> others;
    for (const Text &name : names) {
        if (IsTemporaryName(platform, name))
            continue; // left by a run that did not finish, if this was a server folder once
        if (platform.ToUpper(name) == platform.ToUpper(kRecordFileName))
            version.notPublished.push_back(name);
        else if (IsFrontEndName(platform, name))
            version.frontEnds.push_back(name);
        else
            others.push_back(name);
    }
    auto byName = [&](const Text &a, const Text &b) {
        return platform.ToUpper(a) < platform.ToUpper(b);
    };
    std::sort(version.frontEnds.begin(), version.frontEnds.end(), byName);
    std::sort(others.begin(), others.end(), byName);
    version.files = version.frontEnds;
    version.files.insert(version.files.end(), others.begin(), others.end());
    return version;
}

} // namespace dravik::publish
