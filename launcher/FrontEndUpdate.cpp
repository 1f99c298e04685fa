// Bringing the program folder up to date from the server folder.
#include <algorithm>
#include <optional>
#include <vector>

#include "launcher/SafeCopy.h"
#include "launcher/UpdateRecord.h"
#include "platform/common/PublicationMark.h"
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

// What one pass over the server folder took.
struct Pass {
    std::vector<TakenFile> taken;
    std::vector<Text> reportNames; // the report files the server held, as listed
    bool companionFound = false;
    std::optional<TakenFile> replaced; // a file a publish renamed over while it was copied
};

// Why a pass is not recorded: the server file (and its local copy) that shows it.
struct Change {
    Text source, target, why;
};

// One pass over the server folder: the front end, the report files, the companion.
// With IfReplaced::Report, the pass stops at a file that a publish replaces while it
// is copied.
Pass TakeVersion(PlatformServices &platform, const LauncherSettings &s, bool withReports,
                 const CopyProgress &whileCopying, Warned &warned, StartLog &log,
                 IfReplaced ifReplaced) {
    const Text programFolder = platform.ProgramFolderPath();
    Pass pass;
    auto take = [&](const Text &source, const Text &target) {
        log.CopyStarts();
        const CopyTaken copy = CopyIntoPlace(platform, source, target, whileCopying, ifReplaced);
        if (copy.replaced) {
            pass.replaced = TakenFile{source, target, copy.stamp};
            return false;
        }
        pass.taken.push_back({source, target, copy.stamp});
        log.Copied(source, target, copy.stamp.size);
        return true;
    };

    if (!take(s.ServerFolder + s.FrontEndName, programFolder + L"\\" + s.FrontEndName))
        return pass;

    // One search cursor: the names are listed before any of them is copied.
    Text found = platform.FindFirstMatch(s.ServerFolder + platform.ToLower(L"RuxVT*.*"));
    if (found.empty() && withReports && !warned.reports) {
        warned.reports = true;
        platform.Window().ShowMessage(L"Na serveru ne postoji datoteka sa ispisima!",
                                      MessageIcon::Exclamation, Text(L"Upozorenje"));
    }
    for (; !found.empty() && withReports; found = platform.FindNextMatch())
        pass.reportNames.push_back(found);
    for (const Text &name : pass.reportNames)
        if (!take(s.ServerFolder + platform.ToLower(name), programFolder + L"\\" + name))
            return pass;

    Text companion = platform.FindFirstMatch(s.ServerFolder + s.CompanionExeName);
    pass.companionFound = !companion.empty();
    if (companion.empty()) {
        if (!warned.companion)
            platform.Window().ShowMessage(L"U tolmcommonu nedostaje " + s.CompanionExeName,
                                          MessageIcon::Information, Text(L"Upozorenje"));
        warned.companion = true;
    } else {
        take(s.ServerFolder + companion, programFolder + L"\\" + companion);
    }
    return pass;
}

// What shows that the server no longer holds the version a pass took: a file taken
// that changed, went or is out of reach, or a report file or companion that the
// server holds now and the pass did not take.
std::optional<Change> FirstChange(PlatformServices &platform, const LauncherSettings &s,
                                  bool withReports, const Pass &pass) {
    for (const TakenFile &file : pass.taken) {
        try {
            if (platform.StampOf(file.source) == file.stamp)
                continue;
        } catch (const Failure &) {
            // gone, or out of reach: not the version taken
        }
        return Change{file.source, file.target, L"changed on the server meanwhile"};
    }
    const Text programFolder = platform.ProgramFolderPath();
    if (withReports) {
        const std::vector<Text> names =
            FilesMatching(platform, s.ServerFolder + platform.ToLower(L"RuxVT*.*"));
        for (const Text &name : names)
            if (std::find(pass.reportNames.begin(), pass.reportNames.end(), name) ==
                pass.reportNames.end())
                return Change{s.ServerFolder + name, programFolder + L"\\" + name,
                              L"was put on the server meanwhile"};
    }
    if (!pass.companionFound &&
        !platform.FindFirstMatch(s.ServerFolder + s.CompanionExeName).empty())
        return Change{s.ServerFolder + s.CompanionExeName,
                      programFolder + L"\\" + s.CompanionExeName,
                      L"was put on the server meanwhile"};
    return std::nullopt;
}

// Whether a pass may be recorded, asked with the record file held and its first line
// as it is then; `noted` is that line as it was before the pass began to copy. A
// publish leaves its own mark as the first line, and only an emptying changes a first
// line: the same mark is the whole answer. Where the record held no mark (emptied by
// hand, or never), the server files themselves are looked at once more.
bool StillTheVersionTaken(const Text &noted, const Text &now,
                          const std::function<bool()> &serverUnchanged) {
    if (IsPublicationMark(noted))
        return now == noted;
    if (!noted.empty())
        return now == noted && serverUnchanged();
    // Another workstation's line may be first by now; a mark means a publish.
    return !IsPublicationMark(now) && serverUnchanged();
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
    // recorded as current. The record's first line is noted before anything is
    // copied; the record line goes in only while the server still holds what was
    // taken, checked with the record file held (a publish holds it from its first
    // rename until it has left its mark there). Otherwise the version is taken again,
    // whole, once the publish is done.
    Text noted =
        recordFirstLine_ ? *recordFirstLine_ : FirstRecordLine(platform_, s.RecordFilePath);
    recordFirstLine_.reset();
    Warned warned;
    for (int pass = 1;; ++pass) {
        const Pass taken = TakeVersion(platform_, s, withReports, whileCopying, warned, log_,
                                       pass == 1 ? IfReplaced::Report : IfReplaced::Fail);
        std::optional<Change> change;
        if (taken.replaced)
            change = Change{taken.replaced->source, taken.replaced->target,
                            L"was replaced on the server while it was copied"};
        else // looked at before the record is held, so that the hold is one read long
            change = FirstChange(platform_, s, withReports, taken);
        Text underHold;
        if (AppendRecord(platform_, s.RecordFilePath, s.UserKey, [&](const Text &first) {
                underHold = first;
                if (change)
                    return false;
                if (StillTheVersionTaken(noted, first, [&] {
                        change = FirstChange(platform_, s, withReports, taken);
                        return !change;
                    }))
                    return true;
                if (!change)
                    change = Change{s.ServerFolder + s.FrontEndName,
                                    platform_.ProgramFolderPath() + L"\\" + s.FrontEndName,
                                    L"is of a version published meanwhile"};
                return false;
            }))
            break;
        if (pass == 2)
            throw ServerFileChanged(change->source, change->target);
        log_.Event(L"taken again: " + change->source + L" " + change->why);
        noted = underHold; // what the publish left, read once it was done
    }
    log_.Event(L"recorded " + s.UserKey + L" in " + s.RecordFilePath);
    platform_.Window().ShowProgress(0, 0);
    ClearStatus();
}

} // namespace dravik
