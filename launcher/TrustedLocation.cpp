#include "launcher/TrustedLocation.h"

#include <string>

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

// Where the given version of Access reads its trusted locations.
Text LocationsKey(const Text &officeVersion) {
    return L"Software\\Microsoft\\Office\\" + officeVersion +
           L"\\Access\\Security\\Trusted Locations\\";
}
constexpr std::uint32_t kAccessMask = 0x3F;
constexpr int kSlots = 100;

// Whether an existing slot already names `folder`.
bool SlotHoldsFolder(RegistryServices &registry, RegKey slot, const Text &folder) {
    Text buffer(kPathBufferBytes, L' ');
    std::uint32_t byteCount = kPathBufferBytes;
    std::uint32_t type = kRegSz;
    long status = registry.RegQueryValueExA(slot, L"Path", type, buffer, byteCount);
    if (status == kRegFileNotFound)
        return false; // a slot without a Path names no folder
    return StoredPathHoldsFolder(buffer, byteCount, folder);
}

// Whether the slot trusts the subfolders too: AllowSubfolders is the DWORD 1.
bool SlotAllowsSubfolders(RegistryServices &registry, RegKey slot) {
    Text buffer(4, L' ');
    std::uint32_t byteCount = 4;
    std::uint32_t type = kRegDword;
    return registry.RegQueryValueExA(slot, L"AllowSubfolders", type, buffer, byteCount) ==
               kRegSuccess &&
           type == kRegDword && byteCount == 4 && buffer == Text(L"\x01\0\0\0", 4);
}

} // namespace

bool EnsureTrustedLocation(PlatformServices &platform, const Text &officeVersion,
                           TrustedSlot *namingSlot) {
    RegistryServices &registry = platform.Registry();
    TrustedSlot unused;
    TrustedSlot &found = namingSlot ? *namingSlot : unused;
    const Text parentKey = LocationsKey(officeVersion);
    const Text slotPrefix = parentKey + L"Location";
    Text freeSlotName;
    Text parentFolder = platform.ParentFolderOf(platform.ProgramFolderPath());
    // A program folder at a drive's or a share's top has no parent; trusting "\" with
    // its subfolders would trust a whole drive. Nothing is registered, and Access
    // starts as usual.
    if (parentFolder.empty())
        return true;

    for (int i = 0; i < kSlots; ++i) {
        ScopedRegKey slot(registry);
        if (slot.Open(slotPrefix + std::to_wstring(i), kAccessMask) == kRegSuccess) {
            const bool holdsFolder = SlotHoldsFolder(registry, slot.Get(), parentFolder);
            // A first start stopped between its two writes leaves the folder named
            // without its subfolders, and Access would warn on every start: the slot
            // is completed, and nothing else in it changes.
            if (holdsFolder && !SlotAllowsSubfolders(registry, slot.Get()))
                registry.RegSetValueExA(slot.Get(), L"AllowSubfolders", std::uint32_t{1});
            if (holdsFolder) {
                found = {L"Location" + std::to_wstring(i), false};
                return true;
            }
        } else if (freeSlotName.empty()) {
            freeSlotName = L"Location" + std::to_wstring(i);
        }
    }

    parentFolder += L'\\';
    if (freeSlotName.empty())
        return false;

    const Text newKey = parentKey + freeSlotName;
    ScopedRegKey key(registry);
    // The byte count includes the terminating NUL, as string values require.
    if (key.Create(newKey) == kRegSuccess)
        registry.RegSetValueExA(key.Get(), L"Path", parentFolder,
                                static_cast<std::uint32_t>(parentFolder.size() + 1));
    // Opened again, so the created key is closed first.
    if (key.Open(newKey, kAccessMask) == kRegSuccess)
        registry.RegSetValueExA(key.Get(), L"AllowSubfolders", std::uint32_t{1});
    found = {freeSlotName, true};
    return true;
}

} // namespace Global
} // namespace dravik
