#include "publish/KeptVersion.h"

#include "publish/NewVersion.h"

namespace dravik::publish {

namespace {

const wchar_t kPublished[] = L"Published";
const wchar_t kPrevious[] = L"Previous";
const wchar_t kAdded[] = L"Added";
const wchar_t kKept[] = L"Kept";
const wchar_t kRun[] = L"Run";
const wchar_t kAgainst[] = L"Against";
const wchar_t kPublicationName[] = L"Published.txt";

// Calls `take` with each "word<TAB>value" line of the file.
template <class Take> void ReadWords(PlatformServices &platform, const Text &path, Take &&take) {
    platform.ForEachLine(path, [&](const Text &line) {
        const std::size_t tab = line.find(L'\t');
        take(line.substr(0, tab), tab == Text::npos ? Text() : line.substr(tab + 1));
    });
}

// Written under a temporary name, flushed, then put in place: never seen half-written.
void WriteWords(PlatformServices &platform, const KeptPlace &place, const Text &name,
                const std::vector<Text> &lines) {
    const Text temporary = InFolder(place.folder, TemporaryNameOf(place.runId, name));
    platform.DeleteFileIfPresent(temporary);
    for (const Text &line : lines)
        platform.AppendLine(temporary, line);
    platform.FlushFile(temporary);
    platform.MoveFileOver(temporary, InFolder(place.folder, name));
}

Text NoteName(const Text &kept) {
    return kept + L".txt";
}

// Which publication a note was made against: the run that wrote it, or, from an
// earlier DravikPublish, its time.
Text IdentityOf(const std::optional<Publication> &publication) {
    if (!publication)
        return L"none";
    return publication->run.empty() ? L"published " + publication->published : publication->run;
}

} // namespace

Text InFolder(const Text &folder, const Text &name) {
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        return folder + name;
    return folder + L"\\" + name;
}

KeptPlace KeptPlaceOf(const Text &serverFolder, const Text &runId) {
    KeptPlace place;
    place.folder = InFolder(serverFolder, kKeptFolderName);
    place.runId = runId;
    place.publication = InFolder(place.folder, kPublicationName);
    return WithKeptFolder(place, kKeptFilesPrefix + runId);
}

KeptPlace WithKeptFolder(KeptPlace place, const Text &kept) {
    place.kept = kept;
    place.files = InFolder(place.folder, kept);
    place.record = InFolder(place.files, kRecordFileName);
    return place;
}

KeptPlace KeptVersionOf(const KeptPlace &place, const Publication &publication) {
    if (!publication.kept.empty())
        return WithKeptFolder(place, publication.kept);
    // As an earlier DravikPublish kept it: the files in "Previous", the record beside.
    KeptPlace earlier = WithKeptFolder(place, kPrevious);
    earlier.record = InFolder(place.folder, kRecordFileName);
    return earlier;
}

std::optional<Publication> ReadPublication(PlatformServices &platform, const KeptPlace &place) {
    if (platform.FindFirstMatch(place.publication).empty())
        return std::nullopt;
    Publication publication;
    ReadWords(platform, place.publication, [&](const Text &word, const Text &value) {
        if (word == kPublished)
            publication.published = value;
        else if (word == kPrevious)
            publication.previous = value;
        else if (word == kAdded && !value.empty())
            publication.added.push_back(value);
        else if (word == kKept)
            publication.kept = value;
        else if (word == kRun)
            publication.run = value;
    });
    // Only a folder name of its own; anything else is no kept version.
    if (publication.kept.find_first_of(L"\\/:") != Text::npos)
        publication.previous.reset();
    return publication;
}

void WritePublication(PlatformServices &platform, const KeptPlace &place,
                      const Publication &publication) {
    std::vector<Text> lines{Text(kPublished) + L"\t" + publication.published};
    if (publication.previous) {
        lines.push_back(Text(kPrevious) + L"\t" + *publication.previous);
        lines.push_back(Text(kKept) + L"\t" + publication.kept);
    }
    for (const Text &name : publication.added)
        lines.push_back(Text(kAdded) + L"\t" + name);
    lines.push_back(Text(kRun) + L"\t" + publication.run);
    WriteWords(platform, place, kPublicationName, lines);
}

std::optional<KeptNote> ReadNote(PlatformServices &platform, const KeptPlace &place,
                                 const Text &kept) {
    const Text path = InFolder(place.folder, NoteName(kept));
    if (platform.FindFirstMatch(path).empty())
        return std::nullopt;
    KeptNote note;
    ReadWords(platform, path, [&](const Text &word, const Text &value) {
        if (word == kAgainst)
            note.against = value;
        else if (word == kAdded && !value.empty())
            note.added.push_back(value);
    });
    return note;
}

void WriteNote(PlatformServices &platform, const KeptPlace &place, const KeptNote &note) {
    std::vector<Text> lines{Text(kAgainst) + L"\t" + note.against};
    for (const Text &name : note.added)
        lines.push_back(Text(kAdded) + L"\t" + name);
    WriteWords(platform, place, NoteName(place.kept), lines);
}

void ForgetKeptFolder(PlatformServices &platform, const KeptPlace &place) {
    try {
        platform.DeleteFileIfPresent(InFolder(place.folder, NoteName(place.kept)));
    } catch (const Failure &) {
        // Its publication never names it, and the next publish removes it.
    }
}

bool Names(PlatformServices &platform, const std::vector<Text> &names, const Text &name) {
    const Text wanted = platform.ToUpper(name);
    for (const Text &named : names)
        if (platform.ToUpper(named) == wanted)
            return true;
    return false;
}

std::optional<NotedFolder> FindStoppedRun(PlatformServices &platform, const KeptPlace &place,
                                          const std::optional<Publication> &current) {
    const Text against = IdentityOf(current);
    // The kept version of the publication on the server stays as it is.
    const Text keptNow = current ? KeptVersionOf(place, *current).kept : Text();
    std::optional<NotedFolder> stopped;
    for (const Text &name :
         platform.FoldersMatching(InFolder(place.folder, Text(kKeptFilesPrefix) + L"*"))) {
        if (platform.ToUpper(name) == platform.ToUpper(keptNow))
            continue;
        const std::optional<KeptNote> note = ReadNote(platform, place, name);
        if (!note)
            platform.RemoveFolder(InFolder(place.folder, name)); // copies never finished
        else if (!stopped && note->against == against)
            stopped = NotedFolder{name, *note};
    }
    return stopped;
}

KeptNote ChooseKeptFolder(PlatformServices &platform, KeptPlace &place,
                          const std::optional<NotedFolder> &stopped,
                          const std::optional<Publication> &current) {
    place = WithKeptFolder(place, stopped ? stopped->kept : place.kept);
    platform.MakeFolder(place.files);
    // A copy that was being kept when that run stopped.
    for (const Text &name : FilesMatching(platform, InFolder(place.files, L"*")))
        if (IsTemporaryName(platform, name))
            platform.DeleteFileIfPresent(InFolder(place.files, name));
    return stopped ? stopped->note : KeptNote{IdentityOf(current), {}};
}

bool ServerChangedBy(PlatformServices &platform, const KeptPlace &place, const Text &serverFolder,
                     const NotedFolder &stopped) {
    const Text files = InFolder(place.folder, stopped.kept);
    for (const Text &name : FilesMatching(platform, InFolder(files, L"*")))
        if (!IsTemporaryName(platform, name) &&
            platform.ToUpper(name) != platform.ToUpper(kRecordFileName) &&
            !platform.SameBytes(InFolder(files, name), InFolder(serverFolder, name)))
            return true;
    for (const Text &name : stopped.note.added)
        if (!platform.FindFirstMatch(InFolder(serverFolder, name)).empty())
            return true;
    return false;
}

void LetGoOfOlderKeptVersions(PlatformServices &platform, const KeptPlace &place,
                              const Text &keep) {
    const Text kept = platform.ToUpper(keep);
    for (const Text &name : platform.FoldersMatching(InFolder(place.folder, L"*")))
        if (platform.ToUpper(name) != kept)
            platform.RemoveFolder(InFolder(place.folder, name));
    std::vector<Text> own{kPublicationName, kRunLockName};
    if (!keep.empty())
        own.push_back(NoteName(keep));
    for (const Text &name : FilesMatching(platform, InFolder(place.folder, L"*")))
        if (!Names(platform, own, name))
            platform.DeleteFileIfPresent(InFolder(place.folder, name));
}

Text NowText(PlatformServices &platform) {
    return platform.DateText() + L" - " + platform.TimeText();
}

} // namespace dravik::publish
