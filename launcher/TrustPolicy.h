// What Office's policies and the user's own security settings say about trusted
// locations, read without changing anything, and when a location covers a folder.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik {
namespace Global {

// Every registry key and value name the trusted-location code reads or writes, all below
// HKEY_CURRENT_USER. Confirmed on a real Office: the Office policy root, Common's "Allow
// User Locations", the Access policy VBAWarnings, the user's Access slots and their values.
// Taken by analogy with those: the Access AllLocationsDisabled, the Access policy slots and
// the cloud policy root.
struct TrustRegistryNames {
    const wchar_t *hive;                  // how the log writes the hive
    const wchar_t *officePolicies;        // + version + "\": an administrator's settings
    const wchar_t *cloudPolicies;         // + version + "\": the same, from the cloud
    const wchar_t *cloudPolicyVersion;    // the one version the cloud root is read for
    const wchar_t *officeSettings;        // + version + "\": the user's own
    const wchar_t *commonLocations;       // below a version: Office-wide locations
    const wchar_t *accessLocations;       // below a version: Access's locations and slots
    const wchar_t *accessSecurity;        // below a version: where VBAWarnings is
    const wchar_t *allowUserLocations;    // DWORD, in commonLocations; 0: user slots ignored
    const wchar_t *allLocationsDisabled;  // DWORD, in accessLocations; 1: every one ignored
    const wchar_t *allowNetworkLocations; // DWORD, in accessLocations
    const wchar_t *vbaWarnings;           // DWORD, in accessSecurity
    const wchar_t *path;                  // REG_SZ or REG_EXPAND_SZ, in a location's key
    const wchar_t *allowSubfolders;       // DWORD, in a location's key
    const wchar_t *slotPrefix;            // the user's slots: Location0 ... Location99
};
inline constexpr TrustRegistryNames kTrustNames{
    L"HKCU\\",
    L"Software\\Policies\\Microsoft\\Office\\",
    L"Software\\Policies\\Microsoft\\Cloud\\Office\\",
    L"16.0",
    L"Software\\Microsoft\\Office\\",
    L"Common\\Security\\Trusted Locations",
    L"Access\\Security\\Trusted Locations",
    L"Access\\Security",
    L"Allow User Locations",
    L"AllLocationsDisabled",
    L"AllowNetworkLocations",
    L"VBAWarnings",
    L"Path",
    L"AllowSubfolders",
    L"Location",
};

// A trusted location an administrator set.
struct PolicyLocation {
    Text key;  // where it is, as the log names it
    Text path; // expanded when stored as REG_EXPAND_SZ
    bool subfolders = false;
};

struct TrustPolicy {
    // The settings behind each restriction, as "HKCU\...\Name = 1"; "" when none applies.
    Text disabledBy;         // every location ignored, by policy or by the user's own box
    Text userLocationsOffBy; // the user's own locations ignored
    bool networkAllowed = false;
    std::vector<PolicyLocation> locations;
    std::optional<std::uint32_t> vbaWarnings; // the policy's, else the user's
    Text vbaWarningsAt;
    // Keys that could not be read and values of another type, for the log.
    std::vector<Text> notes;
};

// Reads, with read access only, what applies to the given version of Access.
TrustPolicy ReadTrustPolicy(PlatformServices &platform, const Text &officeVersion);

// Whether a location at `location` covers `folder`: both in their long spelling, compared
// by whole path components ignoring letter case and one trailing separator. A location
// covers its subfolders only when `subfolders`.
bool LocationCovers(PlatformServices &platform, const Text &location, bool subfolders,
                    const Text &folder);
// Whether the two name one folder, by the same comparison.
bool SameFolder(PlatformServices &platform, const Text &a, const Text &b);
// The path as that comparison sees it: its components, upper-cased, in the long spelling
// (a network path as written: asking the network could keep a start waiting).
std::vector<Text> FolderComponents(PlatformServices &platform, const Text &path);
// Whether the path is a network path (\\server\share...).
bool IsNetworkPath(const Text &path);

} // namespace Global
} // namespace dravik
