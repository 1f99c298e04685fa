// The shared record file in the server folder: one line per computer and user
// that has taken the current front end.
#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// Whether the record file holds a line for `key`. An absent file holds none.
bool IsRecorded(PlatformServices &platform, const Text &recordFilePath, const Text &key);

// Appends "key<TAB><TAB>date - time" in one write.
void AppendRecord(PlatformServices &platform, const Text &recordFilePath, const Text &key);

} // namespace dravik
