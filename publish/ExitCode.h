// What DravikPublish ends with, so that a script can tell the outcomes apart.
#pragma once

namespace dravik::publish {

enum class ExitCode : int {
    // Every file in place, Kolacici.txt emptied (or absent); --status: none still to update.
    Published = 0,
    Unexpected = 1,        // a failure nobody foresaw; the next run cleans up
    Usage = 2,             // the command line is wrong
    SourceRefused = 3,     // the new version's folder: missing, empty, no front end or several
    ServerRefused = 4,     // the server folder: missing or cannot be written
    ServerUnchanged = 5,   // a copy or the first replacement failed; nothing changed
    PartlyPublished = 6,   // failed while putting files in place; some files are new
    RecordNotEmptied = 7,  // every file is new, but Kolacici.txt could not be emptied
    StillToUpdate = 8,     // --status: some pairs that took the previous version lack this one
    NothingToRollBack = 9, // --rollback: no previous version is kept; nothing changed
    NotKept = 10,          // published, but what it replaced could not be kept: no rollback to it
    AnotherRun = 11,       // another run holds the server folder; nothing changed
};

} // namespace dravik::publish
