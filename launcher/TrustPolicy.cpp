#include "launcher/TrustPolicy.h"

#include <algorithm>
#include <string>

namespace dravik {
namespace Global {

namespace {

const TrustRegistryNames &N = kTrustNames;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// %NAME% replaced by the variable's value; an unknown name stays as written, as Windows
// leaves it.
Text Expanded(PlatformServices &platform, const Text &text) {
    Text out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t end = text[i] == L'%' ? text.find(L'%', i + 1) : Text::npos;
        if (end != Text::npos && end > i + 1) {
            const Text value = platform.GetEnvVar(text.substr(i + 1, end - i - 1));
            if (!value.empty()) {
                out += value;
                i = end + 1;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

// Reads the registry for one version of Access; every key with read access only, as a
// standard user may read the Policies keys but not write them.
class PolicyReader {
public:
    PolicyReader(PlatformServices &platform, TrustPolicy &policy)
        : platform_(platform), registry_(platform.Registry()), policy_(policy) {}

    // Opens `key` for reading; false when it is absent or cannot be read (noted).
    bool Open(ScopedRegKey &handle, const Text &key) {
        const long status = handle.Open(key, kRegKeyRead);
        if (status != kRegSuccess && status != kRegFileNotFound)
            Note(L"policy not readable: " + Shown(key) + L" (status " + std::to_wstring(status) +
                 L")");
        return status == kRegSuccess;
    }

    // A DWORD value of `key`, absent when it is not there or not a DWORD (noted).
    std::optional<std::uint32_t> Dword(const Text &key, const Text &name) {
        ScopedRegKey handle(registry_);
        if (!Open(handle, key))
            return std::nullopt;
        return Dword(handle, key, name);
    }

    std::optional<std::uint32_t> Dword(ScopedRegKey &handle, const Text &key, const Text &name) {
        std::uint32_t type = 0;
        const std::optional<Text> data = Value(handle, key, name, type);
        if (!data)
            return std::nullopt;
        if (type != kRegDword || data->size() != 4) {
            WrongType(key, name, type);
            return std::nullopt;
        }
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | (static_cast<std::uint32_t>((*data)[i]) & 0xFF);
        return number;
    }

    // A path value, expanded when it is REG_EXPAND_SZ; absent when of another type (noted).
    std::optional<Text> Path(ScopedRegKey &handle, const Text &key) {
        std::uint32_t type = 0;
        std::optional<Text> data = Value(handle, key, N.path, type);
        if (!data)
            return std::nullopt;
        if (type != kRegSz && type != kRegExpandSz) {
            WrongType(key, N.path, type);
            return std::nullopt;
        }
        data->resize(std::min(data->size(), data->find(L'\0')));
        return type == kRegExpandSz ? Expanded(platform_, *data) : *data;
    }

    // Every location below `key`, whatever its subkeys are named.
    void Locations(const Text &key) {
        ScopedRegKey parent(registry_);
        if (!Open(parent, key))
            return;
        Text name;
        for (std::uint32_t i = 0; registry_.RegEnumKeyExA(parent.Get(), i, name) == kRegSuccess;
             ++i) {
            const Text sub = key + L"\\" + name;
            ScopedRegKey location(registry_);
            if (!Open(location, sub))
                continue;
            std::optional<Text> path = Path(location, sub);
            if (path && !path->empty())
                policy_.locations.push_back(
                    {Shown(sub), *path, Dword(location, sub, N.allowSubfolders).value_or(0) != 0});
        }
    }

    static Text Shown(const Text &key) { return Text(N.hive) + key; }
    static Text Setting(const Text &key, const Text &name, std::uint32_t value) {
        return Shown(key) + L"\\" + name + L" = " + std::to_wstring(value);
    }

private:
    // The whole value, however long; absent when it is not there or cannot be read.
    std::optional<Text> Value(ScopedRegKey &handle, const Text &key, const Text &name,
                              std::uint32_t &type) {
        Text buffer(256, L' ');
        std::uint32_t count = 256;
        long status = registry_.RegQueryValueExA(handle.Get(), name, type, buffer, count);
        if (status == kRegMoreData) {
            buffer.assign(count, L' ');
            status = registry_.RegQueryValueExA(handle.Get(), name, type, buffer, count);
        }
        if (status == kRegFileNotFound)
            return std::nullopt;
        if (status != kRegSuccess) {
            Note(L"not readable: " + Shown(key) + L"\\" + name + L" (status " +
                 std::to_wstring(status) + L")");
            return std::nullopt;
        }
        buffer.resize(std::min<std::size_t>(count, buffer.size()));
        return buffer;
    }

    // Each note once, though a key is opened for each of its values.
    void Note(const Text &note) {
        if (std::find(policy_.notes.begin(), policy_.notes.end(), note) == policy_.notes.end())
            policy_.notes.push_back(note);
    }

    void WrongType(const Text &key, const Text &name, std::uint32_t type) {
        Note(Shown(key) + L"\\" + name + L" has type " + std::to_wstring(type) +
             L": taken as absent");
    }

    PlatformServices &platform_;
    RegistryServices &registry_;
    TrustPolicy &policy_;
};

// Adds `setting` to the settings that cause one restriction: either root counts.
void Blame(Text &causes, const Text &setting) {
    causes += (causes.empty() ? L"" : L" and ") + setting;
}

} // namespace

TrustPolicy ReadTrustPolicy(PlatformServices &platform, const Text &officeVersion) {
    TrustPolicy policy;
    PolicyReader read(platform, policy);
    std::vector<Text> roots{N.officePolicies + officeVersion + L"\\"};
    if (officeVersion == N.cloudPolicyVersion)
        roots.push_back(N.cloudPolicies + officeVersion + L"\\");

    bool networkOff = false;
    for (const Text &root : roots) {
        const Text common = root + N.commonLocations, access = root + N.accessLocations,
                   security = root + N.accessSecurity;
        if (read.Dword(common, N.allowUserLocations) == 0u)
            Blame(policy.userLocationsOffBy,
                  PolicyReader::Setting(common, N.allowUserLocations, 0));
        if (auto disabled = read.Dword(access, N.allLocationsDisabled); disabled.value_or(0) != 0)
            Blame(policy.disabledBy,
                  PolicyReader::Setting(access, N.allLocationsDisabled, *disabled));
        if (auto network = read.Dword(access, N.allowNetworkLocations)) {
            policy.networkAllowed = policy.networkAllowed || *network != 0;
            networkOff = networkOff || *network == 0;
        }
        if (auto warnings = read.Dword(security, N.vbaWarnings); warnings && !policy.vbaWarnings) {
            policy.vbaWarnings = warnings;
            policy.vbaWarningsAt = PolicyReader::Setting(security, N.vbaWarnings, *warnings);
        }
        read.Locations(access);
        read.Locations(common);
    }
    policy.networkAllowed = policy.networkAllowed && !networkOff;

    // The user's own boxes in Access's Trust Center.
    const Text own = N.officeSettings + officeVersion + L"\\";
    const Text ownLocations = own + N.accessLocations, ownSecurity = own + N.accessSecurity;
    if (auto disabled = read.Dword(ownLocations, N.allLocationsDisabled); disabled.value_or(0) != 0)
        Blame(policy.disabledBy,
              PolicyReader::Setting(ownLocations, N.allLocationsDisabled, *disabled));
    if (!policy.vbaWarnings) {
        policy.vbaWarnings = read.Dword(ownSecurity, N.vbaWarnings);
        if (policy.vbaWarnings)
            policy.vbaWarningsAt =
                PolicyReader::Setting(ownSecurity, N.vbaWarnings, *policy.vbaWarnings);
    }
    return policy;
}

bool IsNetworkPath(const Text &path) {
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

// One trailing separator is dropped unless it is the separator of a drive's or the file
// system's top ("C:\", "/"), which stays as a last empty component.
std::vector<Text> FolderComponents(PlatformServices &platform, const Text &path) {
    Text p = platform.ToUpper(IsNetworkPath(path) ? path : platform.LongPathOf(path));
    const bool top = p.size() == 1 || (p.size() == 3 && p[1] == L':');
    if (!p.empty() && IsSeparator(p.back()) && !top)
        p.pop_back();
    std::vector<Text> parts(1);
    for (wchar_t c : p) {
        if (IsSeparator(c))
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

bool SameFolder(PlatformServices &platform, const Text &a, const Text &b) {
    return FolderComponents(platform, a) == FolderComponents(platform, b);
}

bool LocationCovers(PlatformServices &platform, const Text &location, bool subfolders,
                    const Text &folder) {
    std::vector<Text> outer = FolderComponents(platform, location);
    const std::vector<Text> inner = FolderComponents(platform, folder);
    if (outer == inner)
        return true;
    if (!subfolders)
        return false;
    if (outer.size() > 1 && outer.back().empty())
        outer.pop_back(); // a drive's top: its separator is no component of its own
    return outer.size() < inner.size() && std::equal(outer.begin(), outer.end(), inner.begin());
}

} // namespace Global
} // namespace dravik
