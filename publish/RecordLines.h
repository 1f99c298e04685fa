// The lines of a record file (Kolacici.txt) as DravikPublish reads them: the pairs
// that launchers recorded, and the lines someone wrote by hand.
#pragma once

#include <set>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik::publish {

// A computer/user pair that a launcher recorded, at its first line.
struct RecordedPair {
    Text key;  // "COMPUTER_user"
    Text when; // "date - time", in that workstation's own formats
    int lines = 1;
};

struct RecordLines {
    std::vector<RecordedPair> pairs; // in file order, each key once
    std::vector<Text> byHand;        // lines not in the launcher's form, in file order
    // Every key a launcher takes as recorded, hand-written lines included.
    std::set<Text> keys;
};

// An absent file has no lines; a publication mark is no pair and no hand-written line.
RecordLines ReadRecordLines(PlatformServices &platform, const Text &path);

} // namespace dravik::publish
