#include "ui/frmDravikVT.h"

#include "ui/LauncherWindowLayout.h"

namespace dravik {

void frmDravikVT::Create() {
    platform_.Window().CreateLauncherWindow(LauncherWindowLayout(), [this](Control control) {
        switch (control) {
        case Control::CmdKraj:
            CmdKraj_Click();
            break;
        case Control::CmdPokreniProgram:
            CmdPokreniProgram_Click();
            break;
        case Control::CmdUzmiNoviMDE:
            CmdUzmiNoviMDE_Click();
            break;
        case Control::Label1:
            break;
        }
    });
}

void frmDravikVT::ShowMe(const Text &s) {
    TwipSize screen = platform_.Window().ScreenSize();
    TwipSize window = platform_.Window().WindowSize();
    double top = screen.height / 2.0 - window.height / 2.0;
    double left = screen.width / 2.0 - window.width / 2.0;
    platform_.Window().SetWindowPosition(left, top);
    platform_.Window().SetControlText(Control::Label1, s);
    platform_.Window().SetControlVisible(Control::CmdUzmiNoviMDE, true);
    platform_.Window().SetWindowVisible(true);
    // The caller goes on copying without returning to the event loop.
    platform_.Window().RepaintWindow();
}

void frmDravikVT::ClearStatus() {
    platform_.Window().SetControlText(Control::Label1, L"");
}

void frmDravikVT::MakeVisible() {
    platform_.Window().SetWindowVisible(true);
}

void frmDravikVT::Close() {
    platform_.Window().CloseLauncherWindow();
}

WindowHandle frmDravikVT::Handle() {
    return platform_.Window().GetWindowHandle();
}

} // namespace dravik
