// Starting another program through the shell.
#include <windows.h>

#include <shellapi.h>

#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

namespace {

// What a result of 32 or less from the shell means. Results from 26 on are the
// shell's own codes; below, most are system error codes, but not always the one
// GetLastError gives, so the result itself is told.
std::wstring ShellFailureText(INT_PTR result) {
    switch (result) {
    case 0:
        return L"Sustav nema dovoljno memorije ili resursa.";
    case SE_ERR_SHARE:
        return L"Datoteku koristi drugi program (povreda dijeljenja).";
    case SE_ERR_ASSOCINCOMPLETE:
        return L"Pridruživanje programa ovoj vrsti datoteke nije potpuno.";
    case SE_ERR_DDETIMEOUT:
        return L"Zahtjev DDE nije dovršen na vrijeme.";
    case SE_ERR_DDEFAIL:
        return L"Zahtjev DDE nije uspio.";
    case SE_ERR_DDEBUSY:
        return L"Zahtjev DDE nije dovršen jer su drugi zahtjevi DDE u tijeku.";
    case SE_ERR_NOASSOC:
        return L"Nijedan program nije pridružen ovoj vrsti datoteke.";
    case SE_ERR_DLLNOTFOUND:
        return L"Potrebni DLL nije pronađen.";
    default:
        return SystemErrorText(static_cast<DWORD>(result));
    }
}

} // namespace

void Win32Platform::StartProgram(WindowHandle owner, const Text &file, const Text &parameters,
                                 const Text &workingFolder, int showMode) {
    // No verb: the file's default action.
    const std::string fileAnsi = ToAnsiPath(file);
    const std::string parametersAnsi = ToAnsi(parameters);
    const std::string folderAnsi = ToAnsiPath(workingFolder);
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(reinterpret_cast<HWND>(owner), nullptr, fileAnsi.c_str(),
                        parametersAnsi.c_str(), folderAnsi.c_str(), showMode));
    if (result <= 32)
        throw Failure(ShellFailureText(result), FailureKind::Other, {file},
                      static_cast<long>(result));
}

} // namespace dravik
