#include "launcher/TrustedLocation.h"

#include <algorithm>
#include <string>

#include "launcher/TrustPolicy.h"

namespace dravik {
namespace Global {

bool StoredPathHoldsFolder(const Text &buffer, std::uint32_t byteCount, const Text &folder) {
    // An empty Path (or none) names no folder. Taken as a failure, it would stop the
    // scan on every start and leave the folder never registered.
    if (byteCount < 2)
        return false;
    // Access stores the path with a final "\\" and its NUL, so the stored text less
    // its last character is compared. A value longer than the buffer leaves the
    // whole buffer to compare.
    return buffer.substr(0, byteCount - 2) == folder;
}

namespace {

const TrustRegistryNames &N = kTrustNames;

// Where the given version of Access reads the user's trusted locations.
Text LocationsKey(const Text &officeVersion) {
    return N.officeSettings + officeVersion + L"\\" + N.accessLocations + L"\\";
}
constexpr std::uint32_t kAccessMask = 0x3F;
constexpr int kSlots = 100;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// A drive's, a share's or the file system's top, with one trailing separator ignored.
bool IsTopFolder(Text path) {
    if (path.size() > 1 && IsSeparator(path.back()))
        path.pop_back();
    if (path.empty() || (path.size() == 1 && IsSeparator(path[0])))
        return true;
    if (path.size() >= 2 && path[1] == L':')
        return path.size() == 2 || (path.size() == 3 && IsSeparator(path[2]));
    if (!IsNetworkPath(path))
        return false;
    int parts = 0; // \\server\share has two
    bool inPart = false;
    for (std::size_t i = 2; i < path.size(); ++i) {
        if (IsSeparator(path[i]))
            inPart = false;
        else if (!inPart) {
            ++parts;
            inPart = true;
        }
    }
    return parts <= 2;
}

// The folders no trusted location may name, as the platform knows them, each as the
// comparison sees it: asked once, however many slots are compared with them.
using Folders = std::vector<std::vector<Text>>;
Folders KnownBroadFolders(PlatformServices &platform) {
    Folders folders;
    for (KnownFolder which :
         {KnownFolder::Profile, KnownFolder::ProfilesRoot, KnownFolder::Desktop,
          KnownFolder::Documents, KnownFolder::Downloads, KnownFolder::OneDrive, KnownFolder::Temp,
          KnownFolder::RoamingAppData, KnownFolder::LocalAppData, KnownFolder::UserProgramFiles,
          KnownFolder::Public, KnownFolder::ProgramData, KnownFolder::ProgramFiles,
          KnownFolder::ProgramFilesX86, KnownFolder::Windows}) {
        const Text folder = platform.KnownFolderPath(which);
        if (folder.empty())
            continue;
        folders.push_back(FolderComponents(platform, folder));
        if (which == KnownFolder::Profile)
            folders.push_back(FolderComponents(platform, folder + L"\\AppData"));
    }
    return folders;
}

bool IsBroad(PlatformServices &platform, const Text &path, const Folders &known) {
    return IsTopFolder(path) ||
           std::find(known.begin(), known.end(), FolderComponents(platform, path)) != known.end();
}

// A slot's Path: whether it names `folder` as Access's slots always have been compared,
// and the whole value, to tell a broad one.
struct SlotPath {
    bool holdsFolder = false;
    Text whole;
};

SlotPath ReadSlotPath(RegistryServices &registry, RegKey slot, const Text &folder) {
    Text buffer(kPathBufferBytes, L' ');
    std::uint32_t byteCount = kPathBufferBytes;
    std::uint32_t type = kRegSz;
    long status = registry.RegQueryValueExA(slot, N.path, type, buffer, byteCount);
    if (status == kRegFileNotFound)
        return {}; // a slot without a Path names no folder
    SlotPath path{StoredPathHoldsFolder(buffer, byteCount, folder), {}};
    if (status == kRegMoreData) {
        buffer.assign(byteCount, L' ');
        status = registry.RegQueryValueExA(slot, N.path, type, buffer, byteCount);
    }
    if (status == kRegSuccess) {
        path.whole = buffer.substr(0, std::min<std::size_t>(byteCount, buffer.size()));
        path.whole.resize(std::min(path.whole.size(), path.whole.find(L'\0')));
    }
    return path;
}

// Whether the slot trusts the subfolders too: AllowSubfolders is the DWORD 1.
bool SlotAllowsSubfolders(RegistryServices &registry, RegKey slot) {
    Text buffer(4, L' ');
    std::uint32_t byteCount = 4;
    std::uint32_t type = kRegDword;
    return registry.RegQueryValueExA(slot, N.allowSubfolders, type, buffer, byteCount) ==
               kRegSuccess &&
           type == kRegDword && byteCount == 4 && buffer == Text(L"\x01\0\0\0", 4);
}

// Finds the slot that names the folder to trust, or writes one when asked to.
void FindOrRegister(PlatformServices &platform, const Text &officeVersion, const Text &parent,
                    const Folders &known, bool write, TrustOutcome &outcome) {
    RegistryServices &registry = platform.Registry();
    const Text parentKey = LocationsKey(officeVersion);
    Text freeSlotName, broadParentSlot;
    for (int i = 0; i < kSlots; ++i) {
        const Text name = N.slotPrefix + std::to_wstring(i);
        ScopedRegKey slot(registry);
        if (slot.Open(parentKey + name, kAccessMask) != kRegSuccess) {
            if (freeSlotName.empty())
                freeSlotName = name;
            continue;
        }
        const SlotPath path = ReadSlotPath(registry, slot.Get(), outcome.folder);
        if (path.holdsFolder) {
            // A first start stopped between its two writes leaves the folder named
            // without its subfolders, and Access would warn on every start: the slot
            // is completed, and nothing else in it changes.
            if (write && !SlotAllowsSubfolders(registry, slot.Get()))
                registry.RegSetValueExA(slot.Get(), N.allowSubfolders, std::uint32_t{1});
            outcome.state = TrustState::Found;
            outcome.slot = name;
            return;
        }
        // Earlier starts trusted the parent however broad it was. Such a slot is left
        // alone (the administrator may have wanted it) but named, so that it can go.
        if (!path.whole.empty() && IsBroad(platform, path.whole, known)) {
            outcome.notes.push_back(name + L" names the broad folder " + path.whole +
                                    L": remove it unless it is wanted");
            if (broadParentSlot.empty() && !parent.empty() &&
                SameFolder(platform, path.whole, parent))
                broadParentSlot = name;
        }
    }
    if (freeSlotName.empty()) {
        // The program folder lies in the broad folder that slot trusts: Access finds it.
        outcome.state =
            broadParentSlot.empty() ? TrustState::NoFreeSlot : TrustState::BroadSlotKept;
        outcome.slot = broadParentSlot;
        return;
    }
    outcome.state = TrustState::Registered;
    outcome.slot = freeSlotName;
    if (!write)
        return;

    const Text folder = outcome.folder + L"\\";
    const Text newKey = parentKey + freeSlotName;
    ScopedRegKey key(registry);
    // The byte count includes the terminating NUL, as string values require.
    if (key.Create(newKey) == kRegSuccess)
        registry.RegSetValueExA(key.Get(), N.path, folder,
                                static_cast<std::uint32_t>(folder.size() + 1));
    // Opened again, so the created key is closed first.
    if (key.Open(newKey, kAccessMask) == kRegSuccess)
        registry.RegSetValueExA(key.Get(), N.allowSubfolders, std::uint32_t{1});
}

// The administrator's location that covers `folder`, if any.
const PolicyLocation *CoveringLocation(PlatformServices &platform, const TrustPolicy &policy,
                                       const Text &folder) {
    for (const PolicyLocation &location : policy.locations) {
        if (IsNetworkPath(location.path) && !policy.networkAllowed)
            continue; // Access ignores it
        if (LocationCovers(platform, location.path, location.subfolders, folder))
            return &location;
    }
    return nullptr;
}

} // namespace

TrustOutcome DecideTrustedLocation(PlatformServices &platform, const Text &officeVersion,
                                   bool write) {
    TrustOutcome outcome;
    const TrustPolicy policy = ReadTrustPolicy(platform, officeVersion);
    outcome.notes = policy.notes;

    // The parent of the program folder is trusted, so that the folder and whatever is
    // copied into it is. A broad parent would trust far more: then the program folder
    // alone is trusted, and a broad program folder not at all.
    const Folders known = KnownBroadFolders(platform);
    const Text program = platform.ProgramFolderPath();
    const bool broadProgram = IsBroad(platform, program, known);
    Text parent;
    if (!broadProgram) {
        parent = platform.ParentFolderOf(program);
        const bool broadParent = parent.empty() || IsBroad(platform, parent, known);
        outcome.folder = broadParent ? program : parent;
        if (broadParent && !parent.empty())
            outcome.cause = L"the program folder, its parent " + parent + L" being too broad";
    }

    if (!policy.disabledBy.empty()) {
        outcome.state = TrustState::AllDisabled;
        outcome.cause = policy.disabledBy;
    } else if (const PolicyLocation *covering =
                   CoveringLocation(platform, policy, broadProgram ? program : outcome.folder)) {
        outcome.state = TrustState::CoveredByPolicy;
        outcome.cause = covering->key + L"\\" + N.path + L" = " + covering->path;
    } else if (!policy.userLocationsOffBy.empty()) {
        outcome.state = TrustState::UserLocationsOff;
        outcome.cause = policy.userLocationsOffBy;
    } else if (broadProgram) {
        outcome.state = TrustState::BroadProgramFolder;
        outcome.cause = program;
    } else {
        FindOrRegister(platform, officeVersion, parent, known, write, outcome);
    }

    const bool untrusted =
        outcome.state == TrustState::AllDisabled || outcome.state == TrustState::UserLocationsOff ||
        outcome.state == TrustState::BroadProgramFolder || outcome.state == TrustState::NoFreeSlot;
    if (untrusted && (policy.vbaWarnings == 3u || policy.vbaWarnings == 4u))
        outcome.notes.push_back(
            (policy.vbaWarnings == 3u
                 ? L"Access will refuse the front end unless it is signed ("
                 : L"Access will switch off the front end's code without a word (") +
            policy.vbaWarningsAt + L")");
    return outcome;
}

bool EnsureTrustedLocation(PlatformServices &platform, const Text &officeVersion,
                           TrustOutcome *outcome) {
    TrustOutcome decided = DecideTrustedLocation(platform, officeVersion, true);
    const bool trusted = decided.state != TrustState::NoFreeSlot;
    if (outcome)
        *outcome = std::move(decided);
    return trusted;
}

Text TrustNotice(TrustState state) {
    switch (state) {
    case TrustState::UserLocationsOff:
        return L"Pouzdana lokacija nije upisana: pravila sustava Office to ne dopuštaju.";
    case TrustState::AllDisabled:
        return L"Pouzdane lokacije isključene su u sustavu Office.";
    case TrustState::BroadProgramFolder:
        return L"Pouzdana lokacija nije upisana: mapa programa je preširoka.";
    default:
        return L"";
    }
}

} // namespace Global
} // namespace dravik
