// Registration of the folder that holds the program as an Access trusted location.
#pragma once

#include <vector>

#include "platform/PlatformServices.h"

namespace dravik {
namespace Global {

// What became of the trusted location of one version of Access.
enum class TrustState {
    Found,              // a slot of the user names the folder to trust
    Registered,         // this call wrote one (or, asked not to write, would write one)
    CoveredByPolicy,    // an administrator's location covers the folder: nothing written
    AllDisabled,        // every location is ignored: nothing written
    UserLocationsOff,   // the user's own locations are ignored by policy: nothing written
    BroadProgramFolder, // the program folder itself is too broad to trust: nothing written
    NoFreeSlot,         // all 100 slots name other folders
    BroadSlotKept,      // no slot free, but one names the program folder's broad parent
};

struct TrustOutcome {
    TrustState state = TrustState::Registered;
    // The folder to trust: the program folder's parent, or the program folder itself when
    // that parent is broad; "" when the program folder is itself broad.
    Text folder;
    Text slot;  // "Location3": the slot that names the folder, or the broad one kept
    Text cause; // the setting or the administrator's location behind the state
    // Further lines for the log: broad slots of earlier starts, policies that could not be
    // read, and the VBAWarnings setting that bites when no trust applies.
    std::vector<Text> notes;
};

// Reads the policies and the user's own settings of `officeVersion`, then finds the slot
// that names the folder to trust or (when `write`) writes one. Writes nothing else, never
// under a Policies key, and never changes a security setting.
TrustOutcome DecideTrustedLocation(PlatformServices &platform, const Text &officeVersion,
                                   bool write);

// Access 2010 reads the locations of Office version 14.0; later versions their own.
// False only when a slot is needed and all 100 name other folders; `outcome`, when given,
// hears the rest.
bool EnsureTrustedLocation(PlatformServices &platform, const Text &officeVersion = L"14.0",
                           TrustOutcome *outcome = nullptr);

// The one line the maintenance window shows for a state, or "" when it needs none.
Text TrustNotice(TrustState state);

// The size of the buffer a slot's Path value is read into.
constexpr std::uint32_t kPathBufferBytes = 255;

// Whether a Path read into `buffer`, reported as `byteCount` bytes, names `folder`.
// A count below 2 holds no path and names nothing.
bool StoredPathHoldsFolder(const Text &buffer, std::uint32_t byteCount, const Text &folder);

} // namespace Global
} // namespace dravik
