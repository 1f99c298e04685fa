// Stands in for MSACCESS.EXE in the tests: it notes how it was started in
// "msaccess-started.log" beside its own executable and ends at once.
//
// One line per start, UTF-8, CR LF:  cmdline=<...>\tcwd=<...>\tshow=<n>
// show is wShowWindow of the start-up information, or -1 when none was given.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring &text) {
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::wstring OwnFolder() {
    std::wstring path(32768, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(length);
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring CurrentFolder() {
    std::wstring folder(32768, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), &folder[0]);
    folder.resize(length < folder.size() ? length : 0);
    return folder;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    const std::string record = "cmdline=" + Utf8(::GetCommandLineW()) +
                               "\tcwd=" + Utf8(CurrentFolder()) + "\tshow=" + std::to_string(show) +
                               "\r\n";

    const std::wstring logPath = OwnFolder() + L"msaccess-started.log";
    // Workstations that waited for the same record file start Access together: another
    // stand-in writing its line holds the log for a moment, and no line may be lost.
    HANDLE log = INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < 500 && log == INVALID_HANDLE_VALUE; ++tries) {
        log = ::CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION)
            ::Sleep(10);
        else
            break;
    }
    if (log == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(log, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    ::CloseHandle(log);
    return ok && written == record.size() ? 0 : 1;
}
