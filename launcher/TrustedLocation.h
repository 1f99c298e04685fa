// Registration of the program's parent folder as an Access trusted location.
#pragma once

#include "platform/PlatformServices.h"

namespace dravik {
namespace Global {

// True when a slot already names the parent of the program folder or a new slot
// was written for it, or when the program folder has no parent to register;
// false when all 100 slots are taken by other folders. A slot that names the
// folder without AllowSubfolders = 1 is given it.
// Access 2010 reads the locations of Office version 14.0; later versions their own.
// `namingSlot`, when given, hears which slot names the folder and whether this call wrote it.
struct TrustedSlot {
    Text name; // "Location3"; "" when no slot names the folder
    bool registered = false;
};
bool EnsureTrustedLocation(PlatformServices &platform, const Text &officeVersion = L"14.0",
                           TrustedSlot *namingSlot = nullptr);

// The size of the buffer a slot's Path value is read into.
constexpr std::uint32_t kPathBufferBytes = 255;

// Whether a Path read into `buffer`, reported as `byteCount` bytes, names `folder`.
// A count below 2 holds no path and names nothing.
bool StoredPathHoldsFolder(const Text &buffer, std::uint32_t byteCount, const Text &folder);

} // namespace Global
} // namespace dravik
