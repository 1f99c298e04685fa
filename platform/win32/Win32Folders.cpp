// The folders DravikPublish keeps for itself: listing and removing them, and
// telling whether two files hold the same bytes.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/common/CaseMapping.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32Handles.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

namespace {

bool IsDots(const char *name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool MeansNotThere(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

Text InFolder(const Text &folder, const Text &name) {
    return !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')
               ? folder + name
               : folder + L"\\" + name;
}

// Every entry the pattern finds, "." and ".." left out.
template <class OnEntry> void ForEachEntry(const Text &pattern, OnEntry &&onEntry) {
    WIN32_FIND_DATAA entry{};
    UniqueFindHandle search(::FindFirstFileA(ToAnsiPath(pattern).c_str(), &entry));
    if (!search) {
        const DWORD error = ::GetLastError();
        if (MeansNotThere(error) || error == ERROR_NO_MORE_FILES)
            return;
        throw SystemFailure(error, {pattern});
    }
    do {
        if (!IsDots(entry.cFileName))
            onEntry(entry);
    } while (::FindNextFileA(search.Get(), &entry));
}

// Reads up to `size` bytes, fewer only at the end of the file.
DWORD ReadFull(HANDLE file, char *data, DWORD size, const Text &path) {
    DWORD got = 0;
    while (got < size) {
        DWORD part = 0;
        if (!::ReadFile(file, data + got, size - got, &part, nullptr))
            throw LastErrorFailure({path});
        if (part == 0)
            break;
        got += part;
    }
    return got;
}

} // namespace

std::vector<Text> Win32Platform::FoldersMatching(const Text &pathPattern) {
    std::vector<Text> names;
    ForEachEntry(pathPattern, [&](const WIN32_FIND_DATAA &entry) {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
            names.push_back(FromAnsi(entry.cFileName));
    });
    std::sort(names.begin(), names.end(),
              [](const Text &a, const Text &b) { return UpperText(a) < UpperText(b); });
    return names;
}

void Win32Platform::RemoveFolder(const Text &path) {
    const DWORD attributes = ::GetFileAttributesA(ToAnsiPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (MeansNotThere(error))
            return;
        throw SystemFailure(error, {path});
    }
    ForEachEntry(InFolder(path, L"*"), [&](const WIN32_FIND_DATAA &entry) {
        const Text file = InFolder(path, FromAnsi(entry.cFileName));
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            throw SystemFailure(ERROR_DIR_NOT_EMPTY, {file});
        const std::string ansi = ToAnsiPath(file);
        // A read-only kept file goes too: the folder is the tool's own.
        ::SetFileAttributesA(ansi.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!::DeleteFileA(ansi.c_str()) && !MeansNotThere(::GetLastError()))
            throw LastErrorFailure({file});
    });
    if (!::RemoveDirectoryA(ToAnsiPath(path).c_str()) && !MeansNotThere(::GetLastError()))
        throw LastErrorFailure({path});
}

bool Win32Platform::SameBytes(const Text &first, const Text &second) {
    auto open = [](const Text &path) {
        UniqueFileHandle file(::CreateFileA(ToAnsiPath(path).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                            nullptr));
        if (!file && !MeansNotThere(::GetLastError()))
            throw LastErrorFailure({path});
        return file;
    };
    UniqueFileHandle a = open(first), b = open(second);
    if (!a || !b)
        return false;
    LARGE_INTEGER sizeA{}, sizeB{};
    if (!::GetFileSizeEx(a.Get(), &sizeA) || !::GetFileSizeEx(b.Get(), &sizeB))
        throw LastErrorFailure({first, second});
    if (sizeA.QuadPart != sizeB.QuadPart)
        return false;
    std::vector<char> partA(256 * 1024), partB(partA.size());
    for (;;) {
        const DWORD gotA = ReadFull(a.Get(), partA.data(), static_cast<DWORD>(partA.size()), first);
        const DWORD gotB =
            ReadFull(b.Get(), partB.data(), static_cast<DWORD>(partB.size()), second);
        if (gotA != gotB || std::memcmp(partA.data(), partB.data(), gotA) != 0)
            return false;
        if (gotA == 0)
            return true;
    }
}

} // namespace dravik
