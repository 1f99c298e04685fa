// The folder search behind FindFirstMatch and FindNextMatch.
#include "platform/win32/Win32Search.h"

#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

namespace {

// Only ordinary files count; "." and ".." are folders and drop out here too.
bool IsOrdinaryFile(const WIN32_FIND_DATAA &entry) {
    const DWORD skipped = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    return (entry.dwFileAttributes & skipped) == 0;
}

// Errors of FindFirstFile that only say no such file can be there. A missing
// folder, a bad name and a search path ending in "\" all come down to "nothing
// matches" for the callers.
bool MeansNoMatch(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return true;
    default:
        return false;
    }
}

// Moves the search on to the next ordinary file, starting with `entry`; closes
// the search and answers "" when there is none.
Text NextOrdinaryFile(UniqueFindHandle &handle, WIN32_FIND_DATAA &entry) {
    for (;;) {
        if (IsOrdinaryFile(entry))
            return FromAnsi(entry.cFileName);
        if (!::FindNextFileA(handle.Get(), &entry)) {
            handle.Reset();
            return Text();
        }
    }
}

} // namespace

Text Win32Platform::FindFirstMatch(const Text &pathPattern) {
    search_->handle.Reset(); // a new search replaces the current one

    WIN32_FIND_DATAA entry{};
    UniqueFindHandle handle(::FindFirstFileA(ToAnsiPath(pathPattern).c_str(), &entry));
    if (!handle) {
        // Anything else (access denied, an unreachable network folder) is a
        // failure, so that a folder the launcher cannot see is not mistaken for
        // one that lacks the file.
        const DWORD error = ::GetLastError();
        if (MeansNoMatch(error))
            return Text();
        throw SystemFailure(error, {pathPattern});
    }
    Text name = NextOrdinaryFile(handle, entry);
    search_->handle = std::move(handle);
    return name;
}

Text Win32Platform::FindNextMatch() {
    try {
        if (!search_->handle)
            return Text();
        WIN32_FIND_DATAA entry{};
        if (!::FindNextFileA(search_->handle.Get(), &entry)) {
            search_->handle.Reset();
            return Text();
        }
        return NextOrdinaryFile(search_->handle, entry);
    } catch (...) {
        search_->handle.Reset();
        return Text();
    }
}

} // namespace dravik
