// Bringing the program folder up to date from the server folder.
#include "launcher/SafeCopy.h"
#include "launcher/UpdateRecord.h"
#include "ui/frmDravikVT.h"

namespace dravik {

void frmDravikVT::UzmiFE_and_Rux() {
    const LauncherSettings &s = settings_;
    const Text programFolder = platform_.ProgramFolderPath();
    const bool withReports = IsFrontEndWithReports();

    ShowMe(L"Kopiranje nove verzije programa...");
    // A long copy must not leave the window unanswered: the system would put a
    // "Not Responding" ghost in its place, whose close box ends the update. How far
    // each copy has got shows meanwhile.
    const CopyProgress whileCopying = [this](std::uint64_t copied, std::uint64_t total) {
        platform_.Window().AnswerWindowSystem();
        platform_.Window().ShowProgress(copied, total);
    };

    CopyIntoPlace(platform_, s.ServerFolder + s.FrontEndName,
                  programFolder + L"\\" + s.FrontEndName, whileCopying);

    // One search cursor: nothing else may search until the loop below is done.
    Text found = platform_.FindFirstMatch(s.ServerFolder + platform_.ToLower(L"RuxVT*.*"));
    if (found.empty() && withReports)
        platform_.Window().ShowMessage(L"Na serveru ne postoji datoteka sa ispisima!",
                                       MessageIcon::Exclamation, Text(L"Upozorenje"));
    while (!found.empty() && withReports) {
        CopyIntoPlace(platform_, s.ServerFolder + platform_.ToLower(found),
                      programFolder + L"\\" + found, whileCopying);
        found = platform_.FindNextMatch();
    }

    Text companion = platform_.FindFirstMatch(s.ServerFolder + s.CompanionExeName);
    if (companion.empty())
        platform_.Window().ShowMessage(L"U tolmcommonu nedostaje " + s.CompanionExeName,
                                       MessageIcon::Information, Text(L"Upozorenje"));
    else
        CopyIntoPlace(platform_, s.ServerFolder + companion, programFolder + L"\\" + companion,
                      whileCopying);

    AppendRecord(platform_, s.RecordFilePath, s.UserKey);
    platform_.Window().ShowProgress(0, 0);
    ClearStatus();
}

} // namespace dravik
