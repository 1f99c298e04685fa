// The log DravikUser.exe writes, one event a line: how texts are escaped in it,
// and a run's lines as the tests read them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dravik::test {

// CR, LF, TAB and "\" in a text, written as \r, \n, \t and \\.
inline std::wstring Escape(const std::wstring &text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'\\':
            out += L"\\\\";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\n':
            out += L"\\n";
            break;
        case L'\t':
            out += L"\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One run of DravikUser.exe: its exit code and its log.
struct PlayerRun {
    int toolExit = -1;
    std::vector<std::wstring> log;
    SYSTEMTIME started{};
    SYSTEMTIME ended{};

    // The log's lines that start with `kind` followed by a TAB or the end.
    std::vector<std::wstring> Lines(const std::wstring &kind) const {
        std::vector<std::wstring> found;
        for (const std::wstring &line : log) {
            if (line == kind || line.compare(0, kind.size() + 1, kind + L"\t") == 0) {
                found.push_back(line);
            }
        }
        return found;
    }
    std::wstring All() const {
        std::wstring all;
        for (const std::wstring &line : log) {
            all += line + L"\n";
        }
        return all;
    }
};

} // namespace dravik::test
