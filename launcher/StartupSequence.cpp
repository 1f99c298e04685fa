// What the launcher does on every start, and the maintenance buttons.
#include "launcher/FailureText.h"
#include "launcher/Launcher.h"
#include "launcher/UpdateLock.h"
#include "launcher/UpdateRecord.h"
#include "ui/frmDravikVT.h"

namespace dravik {

namespace {

const wchar_t kAccessCode[] = L"zelk";
const wchar_t kStartupFailure[] = L"Dravik: Ne mogu pokrenuti program!";
const wchar_t kButtonFailure[] = L"Dravik: Radnja nije uspjela!";

bool Absent(PlatformServices &platform, const Text &pattern) {
    return platform.FindFirstMatch(pattern).empty();
}

// A launcher waiting for another one's update shows that it is at work, so that a
// user who sees nothing does not start it again, and answers the system meanwhile.
std::function<void()> ShowWhileWaiting(frmDravikVT &form, PlatformServices &platform) {
    return [&form, &platform, shown = false]() mutable {
        if (!shown)
            form.ShowMe(L"Kopiranje nove verzije programa...");
        shown = true;
        platform.Window().AnswerWindowSystem();
    };
}

} // namespace

bool frmDravikVT::IsLocalCopyCurrent() {
    const LauncherSettings &s = settings_;
    const Text programFolder = platform_.ProgramFolderPath();
    const bool withReports = IsFrontEndWithReports();

    bool isCurrent = IsRecorded(platform_, s.RecordFilePath, s.UserKey);
    // Each check can only take the answer away; all of them run, in this order.
    if (Absent(platform_, s.LocalFEPath))
        isCurrent = false;
    if (Absent(platform_, programFolder + platform_.ToLower(L"\\ruxVT*.ade")) && withReports)
        isCurrent = false;
    if (Absent(platform_, programFolder + L"\\" + s.CompanionExeName))
        isCurrent = false;
    if (Absent(platform_, programFolder + platform_.ToLower(L"\\ruxVT*.accde")) && withReports)
        isCurrent = false;
    return isCurrent;
}

void frmDravikVT::Form_Load() {
    LoadSettings();

    // Both keys are asked about, Ctrl first.
    bool ctrl = platform_.IsKeyDown(kVkControl);
    bool shift = platform_.IsKeyDown(kVkShift);
    if (ctrl && shift) {
        if (platform_.Window().AskText(L"Šifra ?") == kAccessCode) {
            ShowMe(L"");
            MakeVisible();
            return; // maintenance: the window stays open
        }
    }

    try {
        if (!IsLocalCopyCurrent()) {
            UpdateLock lock(platform_, platform_.ProgramFolderPath(),
                            ShowWhileWaiting(*this, platform_));
            // A launcher started at the same moment may just have done the update.
            if (!lock.WaitedForAnother() || !IsLocalCopyCurrent())
                UzmiFE_and_Rux();
        }
        PokreniFE();
        exitCode_ = accessRefused_ ? kExitNoTrustedSlot : kExitAccessStarted;
    } catch (...) {
        exitCode_ = kExitStartupFailed;
        platform_.Window().ShowMessage(Text(kStartupFailure) + L"\r\rError:" + CurrentFailureText(),
                                       MessageIcon::Information);
    }
    Close();
}

void frmDravikVT::ReportButtonFailureAndEnd(const Text &headline, const Text &description) {
    try {
        platform_.Window().ShowMessage(headline + L"\r\rError:" + description,
                                       MessageIcon::Exclamation);
    } catch (...) {
        // Nothing left to tell it with; the program ends all the same.
    }
    platform_.EndProgram(kExitButtonFailed);
}

void frmDravikVT::CmdKraj_Click() {
    platform_.EndProgram(kExitAccessStarted);
}

void frmDravikVT::CmdPokreniProgram_Click() {
    try {
        PokreniFE();
    } catch (...) {
        ReportButtonFailureAndEnd(kButtonFailure, CurrentFailureText());
    }
}

void frmDravikVT::CmdUzmiNoviMDE_Click() {
    try {
        UpdateLock lock(platform_, platform_.ProgramFolderPath(),
                        ShowWhileWaiting(*this, platform_));
        UzmiFE_and_Rux();
    } catch (...) {
        ReportButtonFailureAndEnd(kButtonFailure, CurrentFailureText());
    }
}

} // namespace dravik
