// The launcher window's layout as the tests expect it to be drawn.
#pragma once

#include "platform/PlatformServices.h"

namespace dravik::testui {

inline WindowLayout LauncherLayout() {
    WindowLayout layout;
    layout.caption = L"Dravik";
    layout.clientWidth = 5025;
    layout.clientHeight = 2400;
    layout.controls = {
        {Control::CmdKraj, L"CmdKraj", ControlKind::PushButton, L"Kraj", 3720, 1680, 1095, 495, 0},
        {Control::CmdPokreniProgram, L"CmdPokreniProgram", ControlKind::PushButton,
         L"Pokreni program", 1260, 1680, 2415, 495, 1},
        {Control::CmdUzmiNoviMDE, L"CmdUzmiNoviMDE", ControlKind::PushButton, L"Uzmi novi MDA", 120,
         1680, 1095, 495, 2},
        {Control::Label1, L"Label1", ControlKind::Label, L"Kopiranje nove verzije programa...", 120,
         240, 4695, 1335, 3},
    };
    layout.labelFont = FontSpec{L"MS Sans Serif", 13.5, 400, 238};
    return layout;
}

} // namespace dravik::testui
