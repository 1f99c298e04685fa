// The launcher's one window and the program's only object: it holds the
// settings for the life of the process and carries the launcher's routines.
#pragma once

#include "launcher/LauncherSettings.h"
#include "platform/PlatformServices.h"

namespace dravik {

class frmDravikVT {
public:
    explicit frmDravikVT(PlatformServices &platform) : platform_(platform) {}

    // ---- The window ---------------------------------------------------------------------
    // Creates the window hidden, its buttons wired to the click handlers.
    void Create();
    // Centres the window, shows the status text and paints it at once.
    void ShowMe(const Text &s);
    void ClearStatus();
    void MakeVisible();
    void Close();
    WindowHandle Handle();

    // ---- Start-up and maintenance ----------------------------------------------------------
    void Form_Load();
    void CmdKraj_Click();
    void CmdPokreniProgram_Click();
    void CmdUzmiNoviMDE_Click();

    // ---- Configuration ------------------------------------------------------------------
    void LoadConfiguration();
    Text ReadDravikTxt(const Text &key, const Text &defaultValue) const;
    void ResolveSettings();

    // ---- Update and launch ----------------------------------------------------------------
    void UzmiFE_and_Rux();
    void PokreniFE();

    // What the start-up came to, as the process's exit code.
    int ExitCode() const { return exitCode_; }

    const LauncherSettings &Settings() const { return settings_; }
    LauncherSettings &Settings() { return settings_; }

private:
    bool IsFrontEndWithReports();
    bool IsLocalCopyCurrent();
    void ReportAndEnd(const Text &headline, const Text &description);

    PlatformServices &platform_;
    LauncherSettings settings_;
    int exitCode_ = 0;
    bool accessRefused_ = false; // the last launch found no trusted-location slot
};

} // namespace dravik
