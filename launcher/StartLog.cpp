#include "launcher/StartLog.h"

#include <exception>
#include <string>

#include "launcher/FailureText.h"
#include "launcher/TrustedLocation.h"

namespace dravik {

namespace {

// The launcher's version, the one its version resource carries.
const wchar_t kVersion[] = L"" DRAVIK_VERSION;

// One event, one line: a line end inside a text would start a false event.
Text OnOneLine(Text text) {
    for (wchar_t &c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return text;
}

} // namespace

void StartLog::Begin(const LauncherSettings &settings) {
    on_ = settings.UseLog;
    if (!on_)
        return;
    path_ = platform_.ProgramFolderPath() + L"\\" + kStartLogName;
    Event(Text(L"DravikVT ") + kVersion + L" started, user " + settings.UserKey);
}

void StartLog::Event(const Text &text) {
    if (!on_)
        return;
    try {
        platform_.AppendToLog(
            path_, platform_.DateText() + L" " + platform_.TimeText() + L"  " + OnOneLine(text),
            kStartLogRotateBytes);
    } catch (const std::exception &) {
        on_ = false; // every later line would fail, or wait, the same way
    }
}

void StartLog::CopyStarts() {
    copyStarted_ = platform_.MillisecondsNow();
}

void StartLog::Copied(const Text &source, const Text &target, std::uint64_t size) {
    const std::int64_t took = platform_.MillisecondsNow() - copyStarted_;
    Event(L"copied " + source + L" to " + target + L", " + std::to_wstring(size) + L" bytes in " +
          std::to_wstring(took) + L" ms");
}

void StartLog::TrustedLocation(const Text &officeVersion, const Global::TrustOutcome &outcome) {
    using Global::TrustState;
    const Text line = L"trusted location for Access " + officeVersion + L": ";
    const Text because = outcome.cause.empty() ? L"" : L" (" + outcome.cause + L")";
    switch (outcome.state) {
    case TrustState::Found:
        Event(line + outcome.slot + L" found" + because);
        break;
    case TrustState::Registered:
        Event(line + outcome.slot + L" registered" + because);
        break;
    case TrustState::CoveredByPolicy:
        Event(line + L"not written: a policy location covers " + outcome.folder + because);
        break;
    case TrustState::AllDisabled:
        Event(line + L"not written: all trusted locations are disabled" + because);
        break;
    case TrustState::UserLocationsOff:
        Event(line + L"not written: user locations are off by policy" + because);
        break;
    case TrustState::BroadProgramFolder:
        Event(line + L"not written: the program folder is too broad to trust" + because);
        break;
    case TrustState::NoFreeSlot:
        Event(line + L"not written: all 100 slots name other folders");
        break;
    case TrustState::BroadSlotKept:
        Event(line + L"no slot free, but " + outcome.slot +
              L" trusts the broad parent of the program folder");
        break;
    }
    for (const Text &note : outcome.notes)
        Event(line + note);
}

void StartLog::AccessStarted(const Text &file, const Text &parameters, const Text &cmdArgument) {
    // /Cmd and its text are always the last piece of the parameters.
    Text shown = parameters;
    if (!cmdArgument.empty()) {
        const bool last =
            shown.size() >= cmdArgument.size() &&
            shown.compare(shown.size() - cmdArgument.size(), Text::npos, cmdArgument) == 0;
        shown = last ? shown.substr(0, shown.size() - cmdArgument.size()) + L"(left out)"
                     : L"(left out)";
    }
    Event(L"Access started: " + file + L" " + shown);
}

void StartLog::Failed() {
    if (!on_)
        return;
    Text text = L"failure: " + CurrentFailureText();
    try {
        throw;
    } catch (const Failure &failure) {
        if (failure.SystemCode() != 0)
            text += L" [system code " + std::to_wstring(failure.SystemCode()) + L"]";
    } catch (...) {
        // Not the launcher's own failure: no system code to give.
    }
    Event(text);
}

void StartLog::Ended(int exitCode) {
    Event(L"ended, exit code " + std::to_wstring(exitCode));
}

} // namespace dravik
