// Which files of the new version's folder are published, and which is the
// front end.
#pragma once

#include <vector>

#include "platform/PlatformServices.h"
#include "platform/common/FileNames.h"

namespace dravik::publish {

// The start of every temporary name, for finding those an earlier run left.
constexpr wchar_t kTemporaryPrefix[] = L"~DravikPublish~";

// Publishing copies each file under this name first, "~DravikPublish~<run id>~<name>":
// launchers never look for it, and no two runs ever write one.
Text TemporaryNameOf(const Text &runId, const Text &name);
bool IsTemporaryName(PlatformServices &platform, const Text &name);

// An Access front end: a compiled or plain Access file that is not a report file.
bool IsFrontEndName(PlatformServices &platform, const Text &name);

struct NewVersion {
    std::vector<Text> frontEnds;    // one, when the folder is fit to publish
    std::vector<Text> files;        // to publish: the front end first, then by name
    std::vector<Text> notPublished; // the record file, when the folder holds one
};

// Sorts the folder's file names into what is published and what is not.
NewVersion SortNewVersion(PlatformServices &platform, const std::vector<Text> &names);

} // namespace dravik::publish
