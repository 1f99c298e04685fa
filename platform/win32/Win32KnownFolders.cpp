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
    // The folders the shell answers for directly; the others below need a word more.
    static const struct {
        KnownFolder folder;
        const KNOWNFOLDERID &id;
    } kShellFolders[] = {
        {KnownFolder::Profile, FOLDERID_Profile},
        {KnownFolder::ProfilesRoot, FOLDERID_UserProfiles},
        {KnownFolder::Desktop, FOLDERID_Desktop},
        {KnownFolder::Documents, FOLDERID_Documents},
        {KnownFolder::Downloads, FOLDERID_Downloads},
        {KnownFolder::RoamingAppData, FOLDERID_RoamingAppData},
        {KnownFolder::LocalAppData, FOLDERID_LocalAppData},
        {KnownFolder::UserProgramFiles, FOLDERID_UserProgramFiles},
        {KnownFolder::Public, FOLDERID_Public},
        {KnownFolder::ProgramData, FOLDERID_ProgramData},
        {KnownFolder::ProgramFilesX86, FOLDERID_ProgramFilesX86},
        {KnownFolder::Windows, FOLDERID_Windows},
    };
    try {
        for (const auto &entry : kShellFolders)
            if (entry.folder == which)
                return WithoutTrailingSeparator(ShellFolder(entry.id));
        switch (which) {
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
        case KnownFolder::ProgramFiles: {
            // A 32-bit process is told the x86 folder; the native one is in ProgramW6432.
            const Text native = GetEnvVar(L"ProgramW6432");
            return WithoutTrailingSeparator(native.empty() ? ShellFolder(FOLDERID_ProgramFiles)
                                                           : native);
        }
        default:
            break;
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
