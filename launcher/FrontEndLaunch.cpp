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
        trusted = Global::EnsureTrustedLocation(platform_);
    } catch (...) {
        trusted = true;
    }

    if (trusted) {
        // A later Access reads trusted locations of its own version: the folder is
        // registered there too, by the same rules. It never keeps Access from starting.
        if (!settings_.AccessVersion.empty()) {
            try {
                Global::EnsureTrustedLocation(platform_, settings_.AccessVersion);
            } catch (...) {
            }
        }
        platform_.StartProgram(Handle(), settings_.AccessFolder + L"\\MSACCESS.EXE", parameters,
                               L"c:\\", kShowMinimized);
        return;
    }
    accessRefused_ = true;
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
