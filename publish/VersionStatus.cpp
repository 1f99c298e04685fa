#include "publish/VersionStatus.h"

#include "publish/KeptVersion.h"
#include "publish/NewVersion.h"
#include "publish/RecordEmptying.h"
#include "publish/RecordLines.h"

namespace dravik::publish {

namespace {

Text Count(std::size_t count, const Text &one, const Text &many) {
    return std::to_wstring(count) + L" " + (count == 1 ? one : many);
}

Text Pairs(std::size_t count) {
    return Count(count, L"pair", L"pairs");
}

// Lines written by hand are shown whole: only the person who wrote them knows what
// they mean. A launcher still takes one as recorded when it holds its key.
void ShowByHand(const PublishOutput &output, const std::vector<Text> &lines, const Text &where) {
    if (lines.empty())
        return;
    output.line(L"Written by hand in " + where + L" (" + Count(lines.size(), L"line", L"lines") +
                L", not in the form DravikVT writes):");
    for (const Text &line : lines)
        output.line(L"  \"" + line + L"\"");
}

Text Lines(const RecordedPair &pair) {
    return pair.lines == 1 ? Text() : L"\t(" + std::to_wstring(pair.lines) + L" lines)";
}

} // namespace

ExitCode ShowVersionStatus(PlatformServices &platform, const Text &serverFolder,
                           const PublishOutput &output) {
    const KeptPlace place = KeptPlaceOf(serverFolder);
    std::optional<Publication> publication;
    RecordLines current, previous;
    try {
        if (platform.FindFirstMatch(InFolder(serverFolder, L"*")).empty()) {
            output.problem(L"Refused: the server folder \"" + serverFolder +
                           L"\" holds no files (it is missing, empty or cannot be read).");
            return ExitCode::ServerRefused;
        }
        if (std::optional<Text> refusal =
                UntrustedRecord(platform, InFolder(serverFolder, kRecordFileName))) {
            output.problem(L"Refused: " + *refusal);
            return ExitCode::ServerRefused;
        }
        publication = ReadPublication(platform, place);
        current = ReadRecordLines(platform, InFolder(serverFolder, kRecordFileName));
        if (publication && publication->previous)
            previous = ReadRecordLines(platform, KeptVersionOf(place, *publication).record);
    } catch (const Failure &failure) {
        output.problem(L"Failed: cannot read the server folder \"" + serverFolder + L"\": " +
                       failure.Cause());
        return ExitCode::ServerRefused;
    }

    output.line(publication && !publication->published.empty()
                    ? L"The version in \"" + serverFolder + L"\" was published " +
                          publication->published + L"."
                    : L"The version in \"" + serverFolder +
                          L"\" was published at a time not known (DravikPublish did not write "
                          L"it down).");
    output.line(L"Taken by " + Pairs(current.pairs.size()) +
                L" (each date in that workstation's own format):");
    for (const RecordedPair &pair : current.pairs)
        output.line(L"  " + pair.key + L"\t" + pair.when + Lines(pair));
    ShowByHand(output, current.byHand, kRecordFileName);

    if (!publication || !publication->previous) {
        output.line(L"The previous version's record is not kept: who is still to update is not "
                    L"known.");
        return ExitCode::Published;
    }
    std::vector<const RecordedPair *> missing;
    for (const RecordedPair &pair : previous.pairs)
        if (!current.keys.count(pair.key))
            missing.push_back(&pair);
    output.line(L"Took the previous version but not yet this one: " + Pairs(missing.size()) +
                (missing.empty() ? L"." : L":"));
    for (const RecordedPair *pair : missing)
        output.line(L"  " + pair->key + L"\t(took the previous version " + pair->when + L")");
    ShowByHand(output, previous.byHand, L"the previous version's record");
    if (missing.empty()) {
        output.line(L"Every known pair has taken this version.");
        return ExitCode::Published;
    }
    output.line(L"Still to update: " + Pairs(missing.size()) + L".");
    return ExitCode::StillToUpdate;
}

} // namespace dravik::publish
