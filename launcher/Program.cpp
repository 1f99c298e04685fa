#include "launcher/Program.h"

#include "launcher/FailureText.h"
#include "ui/frmDravikVT.h"

namespace dravik {

int RunLauncher(PlatformServices &platform) {
    frmDravikVT form(platform);
    try {
        form.Create();
        form.Form_Load();
    } catch (...) {
        // No trap is armed while the configuration loads: report and end.
        Text text = CurrentFailureText();
        try {
            platform.ShowMessage(L"Dravik: Ne mogu pokrenuti program!\r\rError:" + text,
                                 MessageIcon::Exclamation);
            form.Close();
        } catch (...) {
        }
        return 1;
    }
    platform.RunEventLoop();
    return 0;
}

} // namespace dravik
