// The launcher's one window and the program's only object: it holds the
// settings for the life of the process and carries the launcher's routines.
// Each group of members below names the file it lives in.
#pragma once

#include <optional>

#include "launcher/LauncherSettings.h"
#include "launcher/StartLog.h"
#include "platform/PlatformServices.h"

namespace dravik {

class frmDravikVT {
public:
    explicit frmDravikVT(PlatformServices &platform) : platform_(platform) {}

    // ---- The window (ui/frmDravikVT.cpp) -----------------------------------------------
    // Creates the window hidden, its buttons wired to the click handlers.
    void Create();
    // Centres the window, shows the status text and paints it at once.
    void ShowMe(const Text &s);
    void ClearStatus();
    void MakeVisible();
    void Close();
    WindowHandle Handle();

    // ---- Start-up and maintenance (launcher/StartupSequence.cpp) -----------------------
    void Form_Load();
    void CmdKraj_Click();
    void CmdPokreniProgram_Click();
    void CmdUzmiNoviMDE_Click();
    // What the start-up came to, as the process's exit code.
    int ExitCode() const { return exitCode_; }

    // ---- Configuration (launcher/Configuration.cpp) ------------------------------------
    // Start-up's first steps: the companion's name, then DravikVT.txt loaded and
    // every setting resolved.
    void LoadSettings();
    void LoadConfiguration();
    Text ReadDravikTxt(const Text &key, const Text &defaultValue) const;
    void ResolveSettings();
    const LauncherSettings &Settings() const { return settings_; }
    LauncherSettings &Settings() { return settings_; }
    StartLog &Log() { return log_; }

    // ---- Update (launcher/FrontEndUpdate.cpp) and launch (launcher/FrontEndLaunch.cpp) -
    void UzmiFE_and_Rux();
    void PokreniFE();

private:
    // launcher/Configuration.cpp: whether the front end comes with report files.
    bool IsFrontEndWithReports();
    // launcher/StartupSequence.cpp
    bool IsLocalCopyCurrent();
    void ReportButtonFailureAndEnd(const Text &headline, const Text &description);
    // launcher/FrontEndLaunch.cpp: tells the administrator in the maintenance window why
    // no trusted location is written, when policy or the folder stops it.
    void ShowTrustNotice();

    PlatformServices &platform_;
    LauncherSettings settings_;
    StartLog log_{platform_}; // written only when DravikVT.txt asks for it
    int exitCode_ = 0;
    bool accessRefused_ = false; // the last launch found no trusted-location slot
    // The record file's first line as the look that found the copy not current read
    // it: an update that follows at once compares with it.
    std::optional<Text> recordFirstLine_;
};

} // namespace dravik
