// The folders the shell keeps for the user and the system, and long spellings.
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32ProgramFolder.h"

namespace dravik {

namespace {

// The shell's answer, or "" when it has no such folder (Wine lacks some).
Text ShellFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    Text folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path)
        folder = path;
    ::CoTaskMemFree(path);
    return folder;
}

Text WithoutTrailingSeparator(Text folder) {
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder;
}

} // namespace

Text Win32Platform::KnownFolderPath(KnownFolder which) {
    try {
        switch (which) {
        case KnownFolder::Profile:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_Profile));
        case KnownFolder::ProfilesRoot:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_UserProfiles));
        case KnownFolder::Desktop:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_Desktop));
        case KnownFolder::Documents:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_Documents));
        case KnownFolder::Downloads:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_Downloads));
        case KnownFolder::OneDrive: {
            const Text folder = ShellFolder(FOLDERID_SkyDrive);
            return WithoutTrailingSeparator(folder.empty() ? GetEnvVar(L"OneDrive") : folder);
        }
        case KnownFolder::Temp: {
            wchar_t temp[MAX_PATH + 1] = {};
            const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
            if (length == 0 || length > MAX_PATH)
                return Text();
            return WithoutTrailingSeparator(LongSpellingOf(temp));
        }
        case KnownFolder::RoamingAppData:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_RoamingAppData));
        case KnownFolder::LocalAppData:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_LocalAppData));
        case KnownFolder::UserProgramFiles:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_UserProgramFiles));
        case KnownFolder::Public:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_Public));
        case KnownFolder::ProgramData:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_ProgramData));
        case KnownFolder::ProgramFiles: {
            // A 32-bit process is told the x86 folder; the native one is in ProgramW6432.
            const Text native = GetEnvVar(L"ProgramW6432");
            return WithoutTrailingSeparator(native.empty() ? ShellFolder(FOLDERID_ProgramFiles)
                                                           : native);
        }
        case KnownFolder::ProgramFilesX86:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_ProgramFilesX86));
        case KnownFolder::Windows:
            return WithoutTrailingSeparator(ShellFolder(FOLDERID_Windows));
        }
    } catch (...) {
        // Out of memory: a folder not known is one not avoided, nothing worse.
    }
    return Text();
}

Text Win32Platform::LongPathOf(const Text &path) {
    return LongSpellingOf(path);
}

} // namespace dravik
