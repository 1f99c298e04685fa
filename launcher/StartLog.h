// The log a site switches on with "Log = True" in DravikVT.txt: DravikVT.log in
// the program folder, one line an event, for support to read after a start that
// went wrong. It is off unless asked for, and it never stops or slows a start: a
// line that cannot be written is left out, and with it the rest of that start's log.
#pragma once

#include <cstdint>

#include "launcher/LauncherSettings.h"
#include "platform/PlatformServices.h"

namespace dravik {

namespace Global {
struct TrustOutcome;
}

class StartLog {
public:
    explicit StartLog(PlatformServices &platform) : platform_(platform) {}

    // Switches the log on when the settings ask for it, and writes the start's first
    // line: the launcher's version and the user key.
    void Begin(const LauncherSettings &settings);

    // One event, after the date and the time of day.
    void Event(const Text &text);
    // Why the local copy is not current.
    void NotCurrent(const Text &reason) { Event(L"update needed: " + reason); }
    // A copy begins; it is done, `size` bytes in place.
    void CopyStarts();
    void Copied(const Text &source, const Text &target, std::uint64_t size);
    // What became of the trusted location of an Access version: one line, with the
    // setting behind it, and one for each note.
    void TrustedLocation(const Text &officeVersion, const Global::TrustOutcome &outcome);
    // Access started; the text after /Cmd may carry connection data and is left out.
    void AccessStarted(const Text &file, const Text &parameters, const Text &cmdArgument);
    // The failure being handled, with the system's code; only inside a catch block.
    void Failed();
    void Ended(int exitCode);

private:
    PlatformServices &platform_;
    bool on_ = false;
    Text path_;
    std::int64_t copyStarted_ = 0;
};

// Where the log is, and the size past which it moves to DravikVT.log.1.
inline const Text kStartLogName = L"DravikVT.log";
constexpr std::uint64_t kStartLogRotateBytes = 256 * 1024;

} // namespace dravik
