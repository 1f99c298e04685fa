// Bringing the program folder up to date from the server folder.
#include <vector>

#include "launcher/SafeCopy.h"
#include "launcher/UpdateRecord.h"
#include "ui/frmDravikVT.h"

namespace dravik {

namespace {

// A server file one pass took, with the stamp it had when its copy began.
struct TakenFile {
    Text source, target;
    FileStamp stamp;
};

// The warnings already given: a pass taken again does not repeat them.
struct Warned {
    bool reports = false;
    bool companion = false;
};

// One pass over the server folder: the front end, the report files, the companion.
std::vector<TakenFile> TakeVersion(PlatformServices &platform, const LauncherSettings &s,
                                   bool withReports, const CopyProgress &whileCopying,
                                   Warned &warned, StartLog &log) {
    const Text programFolder = platform.ProgramFolderPath();
    std::vector<TakenFile> taken;
    auto take = [&](const Text &source, const Text &target) {
        log.CopyStarts();
        taken.push_back({source, target, CopyIntoPlace(platform, source, target, whileCopying)});
        log.Copied(source, target, taken.back().stamp.size);
    };

    take(s.ServerFolder + s.FrontEndName, programFolder + L"\\" + s.FrontEndName);

    // One search cursor: nothing else may search until the loop below is done.
    Text found = platform.FindFirstMatch(s.ServerFolder + platform.ToLower(L"RuxVT*.*"));
    if (found.empty() && withReports && !warned.reports) {
        warned.reports = true;
        platform.Window().ShowMessage(L"Na serveru ne postoji datoteka sa ispisima!",
                                      MessageIcon::Exclamation, Text(L"Upozorenje"));
    }
    while (!found.empty() && withReports) {
        take(s.ServerFolder + platform.ToLower(found), programFolder + L"\\" + found);
        found = platform.FindNextMatch();
    }

    Text companion = platform.FindFirstMatch(s.ServerFolder + s.CompanionExeName);
    if (companion.empty()) {
        if (!warned.companion)
            platform.Window().ShowMessage(L"U tolmcommonu nedostaje " + s.CompanionExeName,
                                          MessageIcon::Information, Text(L"Upozorenje"));
        warned.companion = true;
    } else {
        take(s.ServerFolder + companion, programFolder + L"\\" + companion);
    }
    return taken;
}

// The first file taken that the server no longer holds as it was when taken.
const TakenFile *FirstChanged(PlatformServices &platform, const std::vector<TakenFile> &taken) {
    for (const TakenFile &file : taken) {
        try {
            if (platform.StampOf(file.source) != file.stamp)
                return &file;
        } catch (const Failure &) {
            return &file; // gone, or out of reach: not the version taken
        }
    }
    return nullptr;
}

} // namespace

void frmDravikVT::UzmiFE_and_Rux() {
    const LauncherSettings &s = settings_;
    const bool withReports = IsFrontEndWithReports();

    ShowMe(L"Kopiranje nove verzije programa...");
    // A long copy must not leave the window unanswered: the system would put a
    // "Not Responding" ghost in its place, whose close box ends the update. How far
    // each copy has got shows meanwhile.
    const CopyProgress whileCopying = [this](std::uint64_t copied, std::uint64_t total) {
        platform_.Window().KeepWindowResponsive();
        platform_.Window().ShowProgress(copied, total);
    };

    // A version published while this one was copied would leave old or mixed files
    // recorded as current. So the record line goes in only while every server file
    // taken is still as it was, checked with the record file held: a publish empties
    // that file last, and cannot while it is held. Otherwise the new version is taken
    // whole, once more.
    Warned warned;
    for (int pass = 1;; ++pass) {
        const std::vector<TakenFile> taken =
            TakeVersion(platform_, s, withReports, whileCopying, warned, log_);
        const TakenFile *changed = nullptr;
        if (AppendRecord(platform_, s.RecordFilePath, s.UserKey, [&] {
                changed = FirstChanged(platform_, taken);
                return changed == nullptr;
            }))
            break;
        if (pass == 2)
            throw ServerFileChanged(changed->source, changed->target);
        log_.Event(L"taken again: " + changed->source + L" changed on the server meanwhile");
    }
    log_.Event(L"recorded " + s.UserKey + L" in " + s.RecordFilePath);
    platform_.Window().ShowProgress(0, 0);
    ClearStatus();
}

} // namespace dravik
