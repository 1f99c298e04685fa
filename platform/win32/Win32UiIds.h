// How the launcher's windows can be found from outside: the window class and
// the control IDs. Test tools that drive the launcher as a user would look
// controls up by these IDs (or by caption); no system header is needed here.
#pragma once

namespace dravik::win32ui {

// Window class of the launcher window (its caption is the layout's caption).
constexpr const wchar_t *kLauncherClassName = L"DravikVT.frmDravikVT";

// Control IDs of the launcher window, one per control of the layout.
constexpr int kIdCmdKraj = 1001;
constexpr int kIdCmdPokreniProgram = 1002;
constexpr int kIdCmdUzmiNoviMDE = 1003;
constexpr int kIdLabel1 = 1004;

// Control IDs of the text prompt besides IDOK (1) and IDCANCEL (2).
constexpr int kIdPromptText = 1101;
constexpr int kIdPromptEdit = 1102;

} // namespace dravik::win32ui
