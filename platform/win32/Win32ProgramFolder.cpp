#include "platform/win32/Win32ProgramFolder.h"

#include <windows.h>

#include "platform/win32/Win32Text.h"

namespace dravik {

std::wstring LongSpellingOf(const std::wstring &path) {
    std::wstring longPath(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(longPath.size());
        const DWORD length = ::GetLongPathNameW(path.c_str(), &longPath[0], size);
        if (length == 0)
            return path;
        if (length < size) {
            longPath.resize(length);
            return longPath;
        }
        longPath.resize(length); // the size needed, NUL included
    }
}

std::wstring ProgramFolderOf(const std::wstring &modulePath) {
    // The same folder started as "C:\DRAVIK~1\..." or as "C:\Dravik VT\..." must be
    // one folder to the trusted-location registration.
    std::wstring path = LongSpellingOf(modulePath);
    // The folder takes part in ANSI file and registry calls: give it as those see it.
    path = FromAnsi(ToAnsiPath(path));
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return path;
    // "C:\DravikVT.exe" keeps the separator of the drive's top folder.
    if (separator == 2 && path[1] == L':')
        return path.substr(0, 3);
    return path.substr(0, separator);
}

} // namespace dravik
