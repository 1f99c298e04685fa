// What the launcher does on every start, and the maintenance buttons.
#include <initializer_list>
#include <utility>

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
        platform.Window().KeepWindowResponsive();
    };
}

} // namespace

bool frmDravikVT::IsLocalCopyCurrent() {
    const LauncherSettings &s = settings_;
    const Text programFolder = platform_.ProgramFolderPath();
    const bool withReports = IsFrontEndWithReports();

    const RecordLookup lookup = LookUpRecord(platform_, s.RecordFilePath, s.UserKey);
    recordFirstLine_ = lookup.firstLine;
    bool isCurrent = lookup.recorded;
    if (!isCurrent)
        log_.NotCurrent(s.UserKey + L" not recorded in " + s.RecordFilePath);
    // Each check can only take the answer away; all of them run, in this order.
    const Text reportsAde = programFolder + platform_.ToLower(L"\\ruxVT*.ade");
    const Text companion = programFolder + L"\\" + s.CompanionExeName;
    const Text reportsAccde = programFolder + platform_.ToLower(L"\\ruxVT*.accde");
    for (const auto &[path, checked] : {std::pair<Text, bool>{s.LocalFEPath, true},
                                        {reportsAde, withReports},
                                        {companion, true},
                                        {reportsAccde, withReports}}) {
        if (Absent(platform_, path) && checked) {
            isCurrent = false;
            log_.NotCurrent(L"no " + path);
        }
    }
    if (isCurrent)
        log_.Event(L"up to date: no update");
    return isCurrent;
}

void frmDravikVT::Form_Load() {
    LoadSettings();

    // Both keys are asked about, Ctrl first.
    bool ctrl = platform_.IsKeyDown(kVkControl);
    bool shift = platform_.IsKeyDown(kVkShift);
    if (ctrl && shift) {
        if (platform_.Window().AskText(L"Šifra ?") == kAccessCode) {
            log_.Event(L"maintenance");
            ShowMe(L"");
            MakeVisible();
            ShowTrustNotice();
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
        log_.Failed();
        exitCode_ = kExitStartupFailed;
        platform_.Window().ShowMessage(Text(kStartupFailure) + L"\r\rError:" + CurrentFailureText(),
                                       MessageIcon::Information);
    }
    Close();
}

void frmDravikVT::ReportButtonFailureAndEnd(const Text &headline, const Text &description) {
    log_.Ended(kExitButtonFailed);
    try {
        platform_.Window().ShowMessage(headline + L"\r\rError:" + description,
                                       MessageIcon::Exclamation);
    } catch (...) {
        // Nothing left to tell it with; the program ends all the same.
    }
    platform_.EndProgram(kExitButtonFailed);
}

void frmDravikVT::CmdKraj_Click() {
    log_.Ended(kExitAccessStarted);
    platform_.EndProgram(kExitAccessStarted);
}

void frmDravikVT::CmdPokreniProgram_Click() {
    try {
        PokreniFE();
    } catch (...) {
        log_.Failed();
        ReportButtonFailureAndEnd(kButtonFailure, CurrentFailureText());
    }
}

void frmDravikVT::CmdUzmiNoviMDE_Click() {
    try {
        log_.NotCurrent(L"maintenance, Uzmi novi MDA");
        UpdateLock lock(platform_, platform_.ProgramFolderPath(),
                        ShowWhileWaiting(*this, platform_));
        UzmiFE_and_Rux();
    } catch (...) {
        log_.Failed();
        ReportButtonFailureAndEnd(kButtonFailure, CurrentFailureText());
    }
}

} // namespace dravik
