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

    bool trusted = true; // a failed registration still lets Access start
    try {
        Global::TrustedSlot slot;
        trusted = Global::EnsureTrustedLocation(platform_, L"14.0", &slot);
        log_.TrustedLocation(L"14.0", slot.name, slot.registered);
    } catch (...) {
        log_.Failed();
        trusted = true;
    }

    if (trusted) {
        // A later Access reads trusted locations of its own version: the folder is
        // registered there too, by the same rules. It never keeps Access from starting.
        if (!settings_.AccessVersion.empty()) {
            try {
                Global::TrustedSlot slot;
                Global::EnsureTrustedLocation(platform_, settings_.AccessVersion, &slot);
                log_.TrustedLocation(settings_.AccessVersion, slot.name, slot.registered);
            } catch (...) {
                log_.Failed();
            }
        }
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
