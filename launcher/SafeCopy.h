#pragma once

#include "platform/PlatformServices.h"

namespace dravik {

// Copies `source` over `target` so that the target is either the old file or the
// complete new one: the copy goes to a temporary file beside the target, made
// new by this process alone, and is moved into place only once it is whole. The
// copy never keeps the read-only, hidden or system attribute, and a read-only
// target does not stand in the way. A move refused for a moment (a virus scanner
// looking at the new file) is tried again for about two seconds. The copy is on
// the disk before it takes the target's name. On failure the temporary file is
// removed and the failure goes on to the caller. `progress` hears how far the copy
// has got. A source that changes while it is copied fails the copy; with
// IfReplaced::Report, a source that another file took the place of (a rename over
// it) is answered as replaced instead, and nothing is copied.
enum class IfReplaced { Fail, Report };
struct CopyTaken {
    FileStamp stamp;       // the source's when its copy began
    bool replaced = false; // another file took the source's place meanwhile
};
CopyTaken CopyIntoPlace(PlatformServices &platform, const Text &source, const Text &target,
                        const CopyProgress &progress = {},
                        IfReplaced ifReplaced = IfReplaced::Fail);

// The failure of a copy whose server file changed meanwhile: a new version is being
// put in place there.
Failure ServerFileChanged(const Text &source, const Text &target);

// The n-th temporary file CopyIntoPlace may use for `target`, n from 1.
Text TemporaryCopyPath(const Text &target, int n);

// What an interrupted update can leave in the program folder: the temporary
// files of every target, of this version's names and of the earlier one.
inline const Text kTemporaryCopyPattern = L"*.dravik-tmp";

// Removes the temporary files an interrupted update left in `folder`. Only the
// one launcher that updates the folder may do it (see UpdateLock).
void RemoveLeftoverCopies(PlatformServices &platform, const Text &folder);

} // namespace dravik
