// The user's folders on POSIX: $HOME with its Desktop, Documents and Downloads, and
// the temporary folder. The rest of what Windows keeps has no counterpart here.
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PosixText.h"

namespace dravik {

namespace {

Text WithoutTrailingSeparator(Text folder) {
    while (folder.size() > 1 && folder.back() == L'/')
        folder.pop_back();
    return folder;
}

Text InHome(const wchar_t *name) {
    const Text home = WithoutTrailingSeparator(EnvironmentValue(L"HOME"));
    return home.empty() ? Text() : home + L"/" + name;
}

} // namespace

Text PosixPlatform::KnownFolderPath(KnownFolder which) {
    try {
        switch (which) {
        case KnownFolder::Profile:
            return WithoutTrailingSeparator(EnvironmentValue(L"HOME"));
        case KnownFolder::Desktop:
            return InHome(L"Desktop");
        case KnownFolder::Documents:
            return InHome(L"Documents");
        case KnownFolder::Downloads:
            return InHome(L"Downloads");
        case KnownFolder::Temp: {
            const Text temp = EnvironmentValue(L"TMPDIR");
            return WithoutTrailingSeparator(temp.empty() ? Text(L"/tmp") : temp);
        }
        default:
            return Text();
        }
    } catch (...) {
        return Text(); // out of memory: a folder not known is only one not avoided
    }
}

// Paths have one spelling here: there are no short names.
Text PosixPlatform::LongPathOf(const Text &path) {
    return path;
}

} // namespace dravik
