#include "platform/posix/PosixRegistry.h"

#include "platform/posix/PosixErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/common/CaseMapping.h"
#include "platform/common/CodePage.h"
#include "platform/common/TextSplit.h"
#include "platform/posix/PosixFileDescriptor.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/PosixText.h"

namespace dravik {

namespace {

const char kKeySuffix[] = ".key";
const char kValueSuffix[] = ".value";

std::string EscapeName(const Text &name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string escaped;
    for (char c : Utf8FromText(name)) {
        auto b = static_cast<unsigned char>(c);
        if (c == '%' || c == '/' || b < 0x20) {
            escaped += '%';
            escaped += hex[b >> 4];
            escaped += hex[b & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

Text UnescapeName(const std::string &escaped) {
    std::string bytes;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '%' && i + 2 < escaped.size() && HexDigit(escaped[i + 1]) >= 0 &&
            HexDigit(escaped[i + 2]) >= 0) {
            bytes += static_cast<char>(HexDigit(escaped[i + 1]) * 16 + HexDigit(escaped[i + 2]));
            i += 2;
        } else {
            bytes += escaped[i];
        }
    }
    return TextFromUtf8(bytes);
}

bool EndsWith(const std::string &text, const std::string &suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsKind(const std::string &path, bool folder) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 &&
           (folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode));
}

// The entry in `folder` for the key or value `name`: the exact spelling when it
// exists, else the one equal to it ignoring letter case; "" when there is none.
std::string FindEntry(const std::string &folder, const Text &name, const std::string &suffix,
                      bool isFolder) {
    std::string exact = EscapeName(name) + suffix;
    if (IsKind(folder + "/" + exact, isFolder))
        return exact;
    std::string best;
    for (const std::string &entry : FolderEntries(folder)) {
        if (!EndsWith(entry, suffix) || (!best.empty() && entry >= best))
            continue;
        Text entryName = UnescapeName(entry.substr(0, entry.size() - suffix.size()));
        if (SameNameIgnoringCase(entryName, name) && IsKind(folder + "/" + entry, isFolder))
            best = entry;
    }
    return best;
}

// Creates the folder and every missing folder above it.
int MakeFolders(const std::string &path) {
    for (std::size_t cut = path.find('/', 1);; cut = path.find('/', cut + 1)) {
        std::string prefix = path.substr(0, cut);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (cut == std::string::npos)
            break;
    }
    return IsKind(path, true) ? 0 : ENOTDIR;
}

bool ReadFile(const std::string &path, std::string &bytes, int &error) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen()) {
        error = errno;
        return false;
    }
    char chunk[4096];
    for (;;) {
        const ssize_t got =
            RetryOnInterrupt([&] { return ::read(file.Get(), chunk, sizeof chunk); });
        if (got < 0) {
            error = errno;
            return false;
        }
        if (got == 0)
            return true;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
}

// Runs a registry operation; the registry services report through status codes
// only, so nothing (not even an allocation failure) may escape.
template <typename Operation> long Guarded(Operation operation) {
    try {
        return operation();
    } catch (...) {
        return kRegIoFailed;
    }
}

} // namespace

std::string PosixRegistry::HiveFolder() {
    Text chosen = EnvironmentValue(L"DRAVIKVT_REGISTRY");
    if (!chosen.empty())
        return Utf8FromText(chosen);
    Text config = EnvironmentValue(L"XDG_CONFIG_HOME");
    if (config.empty() || config.front() != L'/') { // a relative one is to be ignored
        Text home = EnvironmentValue(L"HOME");
        if (home.empty()) {
            const passwd *user = getpwuid(getuid());
            if (!user || !user->pw_dir)
                return "";
            home = TextFromUtf8(user->pw_dir);
        }
        config = home + L"/.config";
    }
    return Utf8FromText(config) + "/DravikVT/registry";
}

const std::string *PosixRegistry::FolderOf(RegKey key) const {
    auto found = openKeys_.find(key);
    return found == openKeys_.end() ? nullptr : &found->second;
}

long PosixRegistry::OpenOrCreate(const Text &subKey, bool create, RegKey &key) {
    key = 0;
    std::string folder = HiveFolder();
    if (folder.empty())
        return create ? kRegIoFailed : kRegFileNotFound;
    if (create) {
        if (int error = MakeFolders(folder))
            return RegistryStatusOf(error);
    } else if (!IsKind(folder, true)) {
        return kRegFileNotFound;
    }
    for (const Text &name : SplitAtAny(subKey, L"\\")) {
        if (name.empty())
            continue;
        std::string entry = FindEntry(folder, name, kKeySuffix, true);
        if (entry.empty()) {
            if (!create)
                return kRegFileNotFound;
            entry = EscapeName(name) + kKeySuffix;
            if (::mkdir((folder + "/" + entry).c_str(), 0700) != 0 && errno != EEXIST)
                return RegistryStatusOf(errno);
        }
        folder += "/" + entry;
    }
    key = nextHandle_++;
    openKeys_[key] = folder;
    return kRegSuccess;
}

long PosixRegistry::RegOpenKeyExA(const Text &subKey, std::uint32_t, RegKey &key) {
    return Guarded([&] { return OpenOrCreate(subKey, false, key); });
}

long PosixRegistry::RegCreateKeyA(const Text &subKey, RegKey &key) {
    return Guarded([&] { return OpenOrCreate(subKey, true, key); });
}

long PosixRegistry::RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type,
                                     Text &buffer, std::uint32_t &byteCount) {
    return Guarded([&]() -> long {
        const std::string *folder = FolderOf(key);
        if (!folder)
            return kRegInvalidHandle;
        std::string entry = FindEntry(*folder, valueName, kValueSuffix, false);
        if (entry.empty())
            return kRegFileNotFound;
        std::string stored;
        int error = 0;
        if (!ReadFile(*folder + "/" + entry, stored, error))
            return RegistryStatusOf(error);
        std::size_t lineEnd = stored.find('\n');
        if (lineEnd == std::string::npos || lineEnd == 0 || lineEnd > 10 ||
            stored.find_first_not_of("0123456789") < lineEnd)
            return kRegIoFailed; // not written by this registry
        auto storedType = static_cast<std::uint32_t>(std::stoul(stored.substr(0, lineEnd)));
        std::string data = stored.substr(lineEnd + 1);
        // Never past the buffer, even when the caller claims more room than it has.
        std::size_t room = std::min<std::size_t>(byteCount, buffer.size());
        type = storedType;
        byteCount = static_cast<std::uint32_t>(data.size());
        if (data.size() > room)
            return kRegMoreData;
        Text decoded = DecodeSingleByte(data, ActiveCodePage());
        std::copy(decoded.begin(), decoded.end(), buffer.begin());
        return kRegSuccess;
    });
}

long PosixRegistry::StoreValue(RegKey key, const Text &valueName, std::uint32_t type,
                               const std::string &data) {
    const std::string *folder = FolderOf(key);
    if (!folder)
        return kRegInvalidHandle;
    std::string entry = FindEntry(*folder, valueName, kValueSuffix, false);
    if (entry.empty())
        entry = EscapeName(valueName) + kValueSuffix;
    std::string path = *folder + "/" + entry;
    // Written aside and renamed over, so a value is either the old or the new one.
    std::string scratch = path + ".tmp";
    std::string content = std::to_string(type) + "\n" + data;
    FileDescriptor file(::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!file.IsOpen())
        return RegistryStatusOf(errno);
    ssize_t put = ::write(file.Get(), content.data(), content.size());
    int error = put < 0 ? errno : (static_cast<std::size_t>(put) != content.size() ? ENOSPC : 0);
    if (int closeError = file.Close(); error == 0)
        error = closeError;
    if (error == 0 && std::rename(scratch.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(scratch.c_str());
        return RegistryStatusOf(error);
    }
    return kRegSuccess;
}

long PosixRegistry::RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t type,
                                   const Text &text, std::uint32_t byteCount) {
    return Guarded([&] {
        std::string bytes = EncodeSingleByte(text, ActiveCodePage());
        bytes += '\0';
        bytes.resize(byteCount, '\0'); // a count past the NUL stores more NULs
        return StoreValue(key, valueName, type == kRegExpandSz ? kRegExpandSz : kRegSz, bytes);
    });
}

long PosixRegistry::RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) {
    return Guarded([&] {
        std::string bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[static_cast<std::size_t>(i)] = static_cast<char>((number >> (8 * i)) & 0xFF);
        return StoreValue(key, valueName, kRegDword, bytes);
    });
}

long PosixRegistry::RegCloseKey(RegKey key) {
    return Guarded([&] { return openKeys_.erase(key) == 1 ? kRegSuccess : kRegInvalidHandle; });
}

long PosixRegistry::RegEnumKeyExA(RegKey key, std::uint32_t index, Text &name) {
    name.clear();
    return Guarded([&]() -> long {
        const std::string *folder = FolderOf(key);
        if (!folder)
            return kRegInvalidHandle;
        // In the order of the names ignoring case, as Windows lists them.
        std::vector<Text> names;
        for (const std::string &entry : FolderEntries(*folder))
            if (EndsWith(entry, kKeySuffix) && IsKind(*folder + "/" + entry, true))
                names.push_back(
                    UnescapeName(entry.substr(0, entry.size() - (sizeof kKeySuffix - 1))));
        std::sort(names.begin(), names.end(),
                  [](const Text &a, const Text &b) { return UpperText(a) < UpperText(b); });
        if (index >= names.size())
            return kRegNoMoreItems;
        name = names[index];
        return kRegSuccess;
    });
}

} // namespace dravik
