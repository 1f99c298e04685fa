#include "launcher/Launcher.h"

#include <exception>

#include "launcher/FailureText.h"
#include "ui/frmDravikVT.h"

namespace dravik {

namespace {

// The report of a failure no trap catches; the program ends after it.
int ReportUncaughtFailure(PlatformServices &platform, frmDravikVT &form) {
    Text text = CurrentFailureText();
    form.Log().Failed();
    form.Log().Ended(kExitSettingsFailed);
    try {
        platform.Window().ShowMessage(L"Dravik: Ne mogu pokrenuti program!\r\rError:" + text,
                                      MessageIcon::Exclamation);
        form.Close();
    } catch (...) {
    }
    return kExitSettingsFailed;
}

} // namespace

int RunLauncher(PlatformServices &platform) {
    frmDravikVT form(platform);
    try {
        form.Create();
        form.Form_Load();              // no trap is armed while the configuration loads
    } catch (const std::exception &) { // a Failure, or the standard library's
        return ReportUncaughtFailure(platform, form);
    }
    try {
        platform.Window().RunEventLoop();
    } catch (const std::exception &) { // what the button handlers did not report
        return ReportUncaughtFailure(platform, form);
    }
    form.Log().Ended(form.ExitCode());
    return form.ExitCode();
}

} // namespace dravik
