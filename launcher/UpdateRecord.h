// The shared record file in the server folder: one line per computer and user
// that has taken the current front end, after the line a publish leaves.
#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// What a look at the record file found: whether it holds a line for the key, and
// its first line ("" when it is empty or absent), which tells a later look whether
// a publish has emptied it meanwhile.
struct RecordLookup {
    bool recorded = false;
    Text firstLine;
};
RecordLookup LookUpRecord(PlatformServices &platform, const Text &recordFilePath, const Text &key);

// Whether the record file holds a line for `key`. An absent file holds none.
inline bool IsRecorded(PlatformServices &platform, const Text &recordFilePath, const Text &key) {
    return LookUpRecord(platform, recordFilePath, key).recorded;
}

// The record file's first line, "" when it is empty, absent or cannot be read now.
Text FirstRecordLine(PlatformServices &platform, const Text &recordFilePath);

// Appends "key<TAB><TAB>date - time" in one write, when `stillWanted`, asked with the
// record file's first line while the file is held so that no one can empty it
// meanwhile, answers true. Answers whether the line was written. A record file held
// by others (a publish putting a new version in place holds it until it is done, and
// fifty workstations appending after a publish hold it in turn) is waited for up to
// two minutes, the window answering the system meanwhile; then the failure goes on.
bool AppendRecord(
    PlatformServices &platform, const Text &recordFilePath, const Text &key,
    const std::function<bool(const Text &firstLine)> &stillWanted = [](const Text &) {
        return true;
    });

} // namespace dravik
