// Starting another program through the shell.
#include <windows.h>

#include <shellapi.h>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

void Win32Platform::StartProgram(WindowHandle owner, const Text &file, const Text &parameters,
                                 const Text &workingFolder, int showMode) {
    try {
        // No verb: the file's default action. The result is not examined; a start
        // that does not happen is not reported.
        const std::string fileAnsi = ToAnsiPath(file);
        const std::string parametersAnsi = ToAnsi(parameters);
        const std::string folderAnsi = ToAnsiPath(workingFolder);
        ::ShellExecuteA(reinterpret_cast<HWND>(owner), nullptr, fileAnsi.c_str(),
                        parametersAnsi.c_str(), folderAnsi.c_str(), showMode);
    } catch (...) {
        // Nothing to report: the caller goes on whether or not the start happened.
    }
}

} // namespace dravik
