// What DravikPublish keeps in the server folder about the version there and the
// one it replaced, one version deep, in a folder of its own. Launchers look in the
// server folder only for files (the front end, "ruxvt*.*", the companion program
// and the record file), never into a folder, so they never read or copy any of it.
#pragma once

#include <optional>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik::publish {

// The folder of its own, inside the server folder.
constexpr wchar_t kKeptFolderName[] = L"DravikPublish";

Text InFolder(const Text &folder, const Text &name);

// Where each thing lives, for a server folder.
struct KeptPlace {
    Text folder;      // <server>\DravikPublish
    Text files;       // <server>\DravikPublish\Previous: the files the last publish replaced
    Text record;      // <server>\DravikPublish\Kolacici.txt: the record of the version replaced
    Text publication; // <server>\DravikPublish\Published.txt
};
KeptPlace KeptPlaceOf(const Text &serverFolder);

// The version on the server: when it was published, and what goes back with a rollback.
// Stored as lines "Published<TAB>when", "Previous<TAB>when", "Added<TAB>name"; an
// empty "when" is a time not known.
struct Publication {
    Text published;
    std::optional<Text> previous; // set while the version it replaced is kept
    std::vector<Text> added;      // files it added, which a rollback removes
};

// Absent when no publish has written one (or one was stopped half-way).
std::optional<Publication> ReadPublication(PlatformServices &platform, const KeptPlace &place);
// Written whole under a temporary name first, then put in place in one step.
void WritePublication(PlatformServices &platform, const KeptPlace &place,
                      const Publication &publication);

// Now, as the launchers write it in the record file: "date - time".
Text NowText(PlatformServices &platform);

} // namespace dravik::publish
