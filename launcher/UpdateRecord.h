// The shared record file in the server folder: one line per computer and user
// that has taken the current front end.
#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// Whether the record file holds a line for `key`. An absent file holds none.
bool IsRecorded(PlatformServices &platform, const Text &recordFilePath, const Text &key);

// Appends "key<TAB><TAB>date - time" in one write, when `stillWanted`, asked while
// the record file is held so that no one can empty it meanwhile, answers true.
// Answers whether the line was written.
bool AppendRecord(
    PlatformServices &platform, const Text &recordFilePath, const Text &key,
    const std::function<bool()> &stillWanted = [] { return true; });

} // namespace dravik
