#include "publish/KeptVersion.h"

#include "publish/NewVersion.h"

namespace dravik::publish {

namespace {

const wchar_t kPublished[] = L"Published";
const wchar_t kPrevious[] = L"Previous";
const wchar_t kAdded[] = L"Added";

} // namespace

Text InFolder(const Text &folder, const Text &name) {
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        return folder + name;
    return folder + L"\\" + name;
}

KeptPlace KeptPlaceOf(const Text &serverFolder) {
    const Text folder = InFolder(serverFolder, kKeptFolderName);
    return {folder, InFolder(folder, L"Previous"), InFolder(folder, kRecordFileName),
            InFolder(folder, L"Published.txt")};
}

std::optional<Publication> ReadPublication(PlatformServices &platform, const KeptPlace &place) {
    if (platform.FindFirstMatch(place.publication).empty())
        return std::nullopt;
    Publication publication;
    platform.ForEachLine(place.publication, [&](const Text &line) {
        const std::size_t tab = line.find(L'\t');
        const Text word = line.substr(0, tab);
        const Text value = tab == Text::npos ? Text() : line.substr(tab + 1);
        if (word == kPublished)
            publication.published = value;
        else if (word == kPrevious)
            publication.previous = value;
        else if (word == kAdded && !value.empty())
            publication.added.push_back(value);
    });
    return publication;
}

void WritePublication(PlatformServices &platform, const KeptPlace &place,
                      const Publication &publication) {
    const Text temporary = InFolder(place.folder, TemporaryNameOf(L"Published.txt"));
    platform.DeleteFileIfPresent(temporary); // left by a run that was stopped
    platform.AppendLine(temporary, Text(kPublished) + L"\t" + publication.published);
    if (publication.previous)
        platform.AppendLine(temporary, Text(kPrevious) + L"\t" + *publication.previous);
    for (const Text &name : publication.added)
        platform.AppendLine(temporary, Text(kAdded) + L"\t" + name);
    platform.FlushFile(temporary);
    platform.MoveFileOver(temporary, place.publication);
}

Text NowText(PlatformServices &platform) {
    return platform.DateText() + L" - " + platform.TimeText();
}

} // namespace dravik::publish
