// Starting Access on the local copy of the front end.
#include "launcher/TrustedLocation.h"
#include "ui/frmDravikVT.h"

namespace dravik {

namespace {

Text AccessParameters(const LauncherSettings &s) {
    Text parameters = L"\"" + s.LocalFEPath + L"\"" + L" /user Admin /pwd ";
    if (s.UseRuntime)
        parameters += L"/Runtime ";
    if (!s.CmdArgument.empty())
        parameters += L"/Cmd " + s.CmdArgument;
    return parameters;
}

} // namespace

// Only here, where an administrator looks: on a normal start the user could do
// nothing about it, and Access shows its own notice. Nothing is written.
void frmDravikVT::ShowTrustNotice() {
    try {
        for (const Text &version : {Text(L"14.0"), settings_.AccessVersion}) {
            if (version.empty())
                continue;
            const Text notice =
                Global::TrustNotice(Global::DecideTrustedLocation(platform_, version, false).state);
            if (!notice.empty()) {
                platform_.Window().ShowMessage(notice, MessageIcon::Information,
                                               Text(L"Upozorenje"));
                return;
            }
        }
    } catch (...) {
        log_.Failed(); // the window stays open all the same
    }
}

// Every step goes on whatever the step before it did, with one exception: a
// start of Access that the system refuses reaches the caller, or a wrong Access
// folder would end every start in silence.
void frmDravikVT::PokreniFE() {
    accessRefused_ = false;
    Text parameters;
    try {
        parameters = AccessParameters(settings_);
    } catch (...) {
        parameters.clear();
    }

    // Access is started whatever policy says: it shows its own notice, and the user
    // could not change a policy anyway. Only a slot needed and none free stops it.
    bool trusted = true; // a failed registration still lets Access start
    try {
        Global::TrustOutcome outcome;
        trusted = Global::EnsureTrustedLocation(platform_, L"14.0", &outcome);
        log_.TrustedLocation(L"14.0", outcome);
    } catch (...) {
        log_.Failed();
        trusted = true;
    }

    // A later Access reads trusted locations of its own version: the folder is
    // registered there too, by the same rules. It never keeps Access from starting, and
    // where an administrator's location already trusts the folder for it, the 14.0 slot
    // that could not be had is not needed either.
    if (!settings_.AccessVersion.empty()) {
        try {
            Global::TrustOutcome outcome;
            Global::EnsureTrustedLocation(platform_, settings_.AccessVersion, &outcome);
            log_.TrustedLocation(settings_.AccessVersion, outcome);
            trusted = trusted || outcome.state == Global::TrustState::CoveredByPolicy;
        } catch (...) {
            log_.Failed();
        }
    }

    if (trusted) {
        const Text access = settings_.AccessFolder + L"\\MSACCESS.EXE";
        platform_.StartProgram(Handle(), access, parameters, L"c:\\", kShowMinimized);
        log_.AccessStarted(access, parameters, settings_.CmdArgument);
        return;
    }
    accessRefused_ = true;
    log_.Event(L"no trusted-location slot free for the parent of " + platform_.ProgramFolderPath() +
               L": Access not started");
    try {
        platform_.Window().ShowMessage(L"Ne mogu dodijeliti prava na folder" +
                                           platform_.ProgramFolderPath() + L"\r\n" +
                                           L"Tesmar se neće pokrenuti!",
                                       MessageIcon::None);
    } catch (...) {
        // Nothing more to do: the launch ends quietly.
    }
}

} // namespace dravik
