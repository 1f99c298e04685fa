// A stand-in for the launcher that DravikUser.exe can drive in tests: it reads
// Ctrl and Shift at start, asks for the code, shows messages and the window
// exactly through the window services the launcher uses.
//
// Ctrl+Shift held: asks "Šifra ?". "zelk" opens the window for maintenance:
//   "Kraj" ends with exit code 5; "Pokreni program" shows an information box
//   titled "Dravik pokreće" with the text "Pokreni program"; "Uzmi novi MDA"
//   shows the status text for 300 ms, clears it and shows an exclamation box
//   "Nema datoteke:\r\nVelkor_2007.exe"; closing the window ends with exit code 0.
//   Any other answer shows a box without icon "odgovor=<answer>" and goes on.
// Otherwise (and after a wrong answer): an information box
//   "Tipke: ctrl=<0|1> shift=<0|1>", the window centred with the status text for
//   400 ms, an exclamation box "Dravik: Ne mogu pokrenuti program!\r\r\nError:neće",
//   then the window is closed and the program ends with exit code 3.
#include <windows.h>

#include "platform/SystemPlatform.h"
#include "ui/LauncherWindowLayout.h"
#include "ui/frmDravikVT.h"

namespace {

using dravik::Control;
using dravik::MessageIcon;
using dravik::Text;

bool Held(int key) {
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    auto platform = dravik::MakeSystemPlatform();
    dravik::WindowServices &ui = platform->Window();
    dravik::frmDravikVT form(*platform); // its ShowMe, as the launcher shows the window
    ui.CreateLauncherWindow(dravik::LauncherWindowLayout(), [&ui, &form](Control control) {
        switch (control) {
        case Control::CmdKraj:
            ExitProcess(5);
        case Control::CmdPokreniProgram:
            ui.ShowMessage(L"Pokreni program", MessageIcon::Information, Text(L"Dravik pokreće"));
            break;
        case Control::CmdUzmiNoviMDE:
            form.ShowMe(L"Kopiranje nove verzije programa...");
            Sleep(300);
            ui.SetControlText(Control::Label1, L"");
            ui.ShowMessage(L"Nema datoteke:\r\nVelkor_2007.exe", MessageIcon::Exclamation,
                           std::nullopt);
            break;
        case Control::Label1:
            break;
        }
    });
    const bool ctrl = Held(VK_CONTROL);
    const bool shift = Held(VK_SHIFT);
    if (ctrl && shift) {
        Text answer = ui.AskText(L"Šifra ?");
        if (answer == L"zelk") {
            form.ShowMe(L"");
            ui.SetWindowVisible(true);
            ui.RunEventLoop();
            return 0;
        }
        ui.ShowMessage(L"odgovor=" + answer, MessageIcon::None, std::nullopt);
    }
    ui.ShowMessage(std::wstring(L"Tipke: ctrl=") + (ctrl ? L"1" : L"0") + L" shift=" +
                       (shift ? L"1" : L"0"),
                   MessageIcon::Information, std::nullopt);
    form.ShowMe(L"Kopiranje nove verzije programa...");
    Sleep(400);
    ui.SetControlText(Control::Label1, L"");
    ui.ShowMessage(L"Dravik: Ne mogu pokrenuti program!\r\r\nError:neće", MessageIcon::Exclamation,
                   std::nullopt);
    ui.CloseLauncherWindow();
    ui.RunEventLoop();
    return 3;
}
