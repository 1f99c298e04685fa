#include "platform/posix/PosixPaths.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

#include "platform/common/CaseMapping.h"
#include "platform/posix/PosixText.h"

namespace dravik {

namespace {

struct FolderCloser {
    void operator()(DIR *folder) const { closedir(folder); }
};
using FolderHandle = std::unique_ptr<DIR, FolderCloser>;

std::string Join(const std::string &folder, const std::string &name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

bool Exists(const std::string &path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// The entry of `folder` whose name equals `wanted` ignoring case; when several do,
// the first in byte order, so that the answer does not depend on the listing order.
std::string NameIgnoringCase(const std::string &folder, const Text &wanted) {
    std::string best;
    bool found = false;
    for (const std::string &entry : FolderEntries(folder.empty() ? "." : folder)) {
        if (SameNameIgnoringCase(TextFromUtf8(entry), wanted) && (!found || entry < best)) {
            best = entry;
            found = true;
        }
    }
    return best;
}

} // namespace

bool IsPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::vector<std::string> FolderEntries(const std::string &folder) {
    std::vector<std::string> names;
    FolderHandle handle(opendir(folder.c_str()));
    if (!handle)
        return names;
    while (const dirent *entry = readdir(handle.get())) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

std::string ResolvePath(const Text &path) {
    if (path.empty())
        return "";
    std::string resolved = IsPathSeparator(path.front()) ? "/" : "";
    bool folderExists = true;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsPathSeparator(path[end]))
            ++end;
        Text component = path.substr(start, end - start);
        start = end + 1;
        if (component.empty())
            continue; // doubled separators mean one, as on Windows
        std::string name = Utf8FromText(component);
        if (folderExists && component != L"." && component != L"..") {
            std::string exact = Join(resolved, name);
            if (!Exists(exact)) {
                std::string onDisk = NameIgnoringCase(resolved, component);
                if (onDisk.empty())
                    folderExists = false;
                else
                    name = onDisk;
            }
        }
        resolved = Join(resolved, name);
    }
    if (resolved.empty())
        resolved = ".";
    if (IsPathSeparator(path.back()) && resolved.back() != '/')
        resolved += '/';
    return resolved;
}

} // namespace dravik
