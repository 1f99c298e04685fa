// What DravikPublish keeps in the server folder about the version there and the
// one it replaced, one version deep, in a folder of its own. Launchers look in the
// server folder only for files (the front end, "ruxvt*.*", the companion program
// and the record file), never into a folder, so they never read or copy any of it.
//
// The kept version is always one whole version: each publish keeps what it
// replaces in a folder of its own run, "Previous-<run id>", and only the
// publication written after its last rename names that folder as the kept one.
#pragma once

#include <optional>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik::publish {

// The folder of its own, inside the server folder.
constexpr wchar_t kKeptFolderName[] = L"DravikPublish";
// The lock file in it that one run at a time holds.
constexpr wchar_t kRunLockName[] = L"Publish.lock";
// A kept version's folder is this and the id of the run that made it.
constexpr wchar_t kKeptFilesPrefix[] = L"Previous-";

Text InFolder(const Text &folder, const Text &name);

// Where each thing lives, for a server folder.
struct KeptPlace {
    Text folder;      // <server>\DravikPublish
    Text runId;       // of this run: its temporary names and the kept folder it makes
    Text kept;        // the kept version's folder, by name: "Previous-<run id>"
    Text files;       // <server>\DravikPublish\<kept>: the files that publish replaced
    Text record;      // <files>\Kolacici.txt: the record of the version it replaced
    Text publication; // <server>\DravikPublish\Published.txt
};
// Points at this run's own kept folder, until a publication read names another.
KeptPlace KeptPlaceOf(const Text &serverFolder, const Text &runId = Text());
// The same place with `kept` as the kept version's folder.
KeptPlace WithKeptFolder(KeptPlace place, const Text &kept);

// The version on the server: when it was published, and what goes back with a rollback.
// Stored as lines "Published<TAB>when", "Previous<TAB>when", "Added<TAB>name",
// "Kept<TAB>folder", "Run<TAB>id"; an empty "when" is a time not known.
struct Publication {
    Text published;
    std::optional<Text> previous; // set while the version it replaced is kept
    std::vector<Text> added;      // files it added, which a rollback removes
    Text kept; // the kept version's folder; "" where an earlier DravikPublish used "Previous"
    Text run;  // the run that wrote it
};

// Absent when no publish has written one.
std::optional<Publication> ReadPublication(PlatformServices &platform, const KeptPlace &place);
// Written whole under a temporary name first, then put in place in one step: the one
// moment a publish's kept version takes the place of the one before.
void WritePublication(PlatformServices &platform, const KeptPlace &place,
                      const Publication &publication);
// The place of the kept version that `publication` names.
KeptPlace KeptVersionOf(const KeptPlace &place, const Publication &publication);

// A kept folder's note, "<folder>.txt" beside it, written once its copies are on the
// disk and before the first rename: the publication it was made against, and the
// files the publish adds. A folder without one was left half-made.
struct KeptNote {
    Text against;
    std::vector<Text> added;
};
std::optional<KeptNote> ReadNote(PlatformServices &platform, const KeptPlace &place,
                                 const Text &kept);
void WriteNote(PlatformServices &platform, const KeptPlace &place, const KeptNote &note);
// Drops the note of the place's kept folder, if it can: a folder without one goes.
void ForgetKeptFolder(PlatformServices &platform, const KeptPlace &place);
bool Names(PlatformServices &platform, const std::vector<Text> &names, const Text &name);

// A kept folder, by name, with its note.
struct NotedFolder {
    Text kept;
    KeptNote note;
};
// Under the run's lock, before anything is kept: the folder of a run that stopped
// against this same publication (what it kept is the version the publication
// describes, and its note says what it added). Folders left without a note go.
std::optional<NotedFolder> FindStoppedRun(PlatformServices &platform, const KeptPlace &place,
                                          const std::optional<Publication> &current);
// Takes over the stopped run's folder, or makes this run's own; points `place` at
// it and answers its note.
KeptNote ChooseKeptFolder(PlatformServices &platform, KeptPlace &place,
                          const std::optional<NotedFolder> &stopped,
                          const std::optional<Publication> &current);
// Whether the stopped run changed the server: a file it kept is not what the server
// holds, or a file it adds is there. One stopped before its first rename did not.
bool ServerChangedBy(PlatformServices &platform, const KeptPlace &place, const Text &serverFolder,
                     const NotedFolder &stopped);

// Once a publication is written: every kept folder but `keep` ("" for none) goes,
// with anything else a stopped run left in DravikPublish.
void LetGoOfOlderKeptVersions(PlatformServices &platform, const KeptPlace &place, const Text &keep);

// Now, as the launchers write it in the record file: "date - time".
Text NowText(PlatformServices &platform);

} // namespace dravik::publish
