#include "publish/Publisher.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/Retry.h"
#include "publish/RunId.h"
#include "publish/RunLock.h"

namespace dravik::publish {

namespace {

Text Quoted(const Text &text) {
    return L"\"" + text + L"\"";
}

// A system's text as a sentence of its own, whatever its own ending.
Text Sentence(const Text &text) {
    return !text.empty() && text.back() == L'.' ? text : text + L".";
}

Text Listed(const std::vector<Text> &names) {
    Text list;
    for (const Text &name : names)
        list += (list.empty() ? L"" : L", ") + name;
    return list.empty() ? L"none" : list;
}

// "1 file", "3 files".
Text Files(std::size_t count) {
    return std::to_wstring(count) + (count == 1 ? L" file" : L" files");
}

// "205.3 MB": a size in mebibytes with one decimal.
Text Megabytes(std::uint64_t bytes) {
    const std::uint64_t tenths = (bytes * 10 + 512 * 1024) / (1024 * 1024);
    return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" MB";
}

} // namespace

Publisher::Publisher(PlatformServices &platform, PublishSettings settings, PublishOutput output)
    : platform_(platform), settings_(std::move(settings)), output_(std::move(output)),
      kept_(KeptPlaceOf(settings_.serverFolder, NewRunId())),
      record_(platform_, InFolder(settings_.serverFolder, kRecordFileName), kept_.runId) {}

Text Publisher::RunAgain() const {
    return Rollback() ? L"Run DravikPublish --rollback again" : L"Run DravikPublish again";
}

Text Publisher::Source(const Text &name) const {
    return InFolder(settings_.newVersionFolder, name);
}

Text Publisher::Server(const Text &name) const {
    return InFolder(settings_.serverFolder, name);
}

ExitCode Publisher::Run() {
    using Step = ExitCode (Publisher::*)();
    std::vector<Step> steps;
    if (Rollback()) {
        output_.line(L"Rolling the server folder " + Quoted(settings_.serverFolder) +
                     L" back to the version that the last publish replaced.");
        // The same steps as a publish, with the kept version as the new one; what the
        // publish added goes before the record file is emptied, and nothing is kept.
        steps = {&Publisher::LockTheServerFolder,
                 &Publisher::ReadKeptVersion,
                 &Publisher::CheckRecordFile,
                 &Publisher::PrepareServer,
                 &Publisher::CopyUnderTemporaryNames,
                 &Publisher::LookUpServerFiles,
                 &Publisher::PutInPlace,
                 &Publisher::RemoveAddedFiles,
                 &Publisher::EmptyRecordFile,
                 &Publisher::LetGoOfKeptVersion};
    } else {
        output_.line(L"Publishing the new version from " + Quoted(settings_.newVersionFolder) +
                     L" to the server folder " + Quoted(settings_.serverFolder) + L".");
        steps = {&Publisher::ReadNewVersion,          &Publisher::LockTheServerFolder,
                 &Publisher::CheckRecordFile,         &Publisher::PrepareServer,
                 &Publisher::CopyUnderTemporaryNames, &Publisher::LookUpServerFiles,
                 &Publisher::KeepWhatIsReplaced,      &Publisher::PutInPlace,
                 &Publisher::WriteDownPublication,    &Publisher::EmptyRecordFile};
    }
    // Each step answers Published to go on, or the code the tool ends with.
    for (Step step : steps) {
        const ExitCode code = (this->*step)();
        if (code != ExitCode::Published)
            return code;
    }
    if (Rollback())
        output_.line(L"Rolled back: " + Files(version_.files.size()) + L" put back, " +
                     Files(removed_) + L" removed.");
    else
        output_.line(L"Published " + Files(version_.files.size()) + L".");
    return notKept_ ? ExitCode::NotKept : ExitCode::Published;
}

std::vector<Text> Publisher::ServerFilesMatching(const Text &pattern) {
    return FilesMatching(platform_, Server(pattern));
}

ExitCode Publisher::ReadNewVersion() {
    std::vector<Text> names;
    try {
        names = FilesMatching(platform_, Source(L"*"));
    } catch (const Failure &failure) {
        output_.problem(L"Refused: cannot read the folder " + Quoted(settings_.newVersionFolder) +
                        L": " + failure.Cause());
        return ExitCode::SourceRefused;
    }
    if (names.empty()) {
        output_.problem(L"Refused: the folder " + Quoted(settings_.newVersionFolder) +
                        L" holds no files (it is missing, empty or cannot be read).");
        return ExitCode::SourceRefused;
    }
    version_ = SortNewVersion(platform_, names);
    if (version_.frontEnds.size() != 1) {
        output_.problem(
            (version_.frontEnds.empty()
                 ? L"Refused: there is no front end in " + Quoted(settings_.newVersionFolder)
                 : L"Refused: there is more than one front end in " +
                       Quoted(settings_.newVersionFolder) + L" (" + Listed(version_.frontEnds) +
                       L")") +
            L". The new version holds exactly one .ade, .accde, .accdb or .mde file besides "
            L"the RuxVT* report files.");
        return ExitCode::SourceRefused;
    }
    output_.line(L"Front end: " + version_.frontEnds.front());
    for (const Text &name : version_.notPublished)
        output_.line(name + L" is not published: the server folder keeps its own.");
    return ExitCode::Published;
}

ExitCode Publisher::LockTheServerFolder() {
    return TakeRunLock(platform_, settings_.serverFolder, kept_, output_, runLock_);
}

ExitCode Publisher::ReadKeptVersion() {
    std::vector<Text> names;
    try {
        if (ServerFilesMatching(L"*").empty()) {
            output_.problem(L"Refused: the server folder " + Quoted(settings_.serverFolder) +
                            L" holds no files (it is missing, empty or cannot be read).");
            return ExitCode::ServerRefused;
        }
        publication_ = ReadPublication(platform_, kept_);
        if (!publication_ || !publication_->previous) {
            output_.problem(L"Nothing to roll back to: no earlier version is kept in " +
                            Quoted(kept_.folder) +
                            L". A publish keeps the version it replaces until a rollback puts "
                            L"it back. Nothing was changed.");
            return ExitCode::NothingToRollBack;
        }
        kept_ = KeptVersionOf(kept_, *publication_);
        settings_.newVersionFolder = kept_.files;
        const auto note = publication_->kept.empty()
                              ? std::nullopt // as an earlier DravikPublish wrote it down
                              : ReadNote(platform_, kept_, publication_->kept);
        if (note)
            publication_->added = note->added;
        names = FilesMatching(platform_, Source(L"*"));
    } catch (const Failure &failure) {
        output_.problem(L"Refused: cannot read the version kept in " + Quoted(kept_.folder) +
                        L": " + failure.Cause());
        return ExitCode::ServerRefused;
    }
    version_ = SortNewVersion(platform_, names);
    const Text &when = *publication_->previous;
    output_.line(
        L"The version going back was published " +
        (when.empty() ? Text(L"at a time not known") : when) + L"; the one leaving, " +
        (publication_->published.empty() ? Text(L"at a time not known") : publication_->published) +
        L".");
    return ExitCode::Published;
}

// Emptied is only a file: a folder stops every launcher, and a link's target is
// not the record.
ExitCode Publisher::CheckRecordFile() {
    std::optional<Text> refusal;
    try {
        refusal = UntrustedRecord(platform_, Server(kRecordFileName));
    } catch (const Failure &failure) {
        refusal = L"cannot look at " + Server(kRecordFileName) + L": " + Sentence(failure.Cause());
    }
    if (!refusal)
        return ExitCode::Published;
    output_.problem(L"Refused: " + *refusal + L" Nothing was changed.");
    return ExitCode::ServerRefused;
}

ExitCode Publisher::PrepareServer() {
    // Writing a file of our own is the one sure test of the rights the copies need;
    // finding it among the new version's files means both folders are one.
    bool sameFolder = false;
    const Text writeTest = Temporary(L"write-test");
    try {
        platform_.AppendLine(Server(writeTest), L"");
        try {
            sameFolder = !platform_.FindFirstMatch(Source(writeTest)).empty();
        } catch (const Failure &) {
            // The new version's folder was just read; this look only adds a check.
        }
        platform_.DeleteFileIfPresent(Server(writeTest));
    } catch (const Failure &failure) {
        output_.problem(L"Refused: cannot write to the server folder " +
                        Quoted(settings_.serverFolder) + L": " + Sentence(failure.Cause()) +
                        L" Publishing needs the right to create, replace and delete files there.");
        return ExitCode::ServerRefused;
    }
    if (sameFolder) {
        output_.problem(L"Refused: " + Quoted(settings_.newVersionFolder) +
                        L" is the server folder itself. Put the new version in a folder of its "
                        L"own.");
        return ExitCode::SourceRefused;
    }

    // A run that was stopped (closed window, lost network) leaves its copies behind;
    // with the lock held, no other run is writing any.
    try {
        for (const Text &name : ServerFilesMatching(Text(kTemporaryPrefix) + L"*")) {
            platform_.DeleteFileIfPresent(Server(name));
            output_.line(L"Removed " + name + L", left by an earlier run that did not finish.");
        }
    } catch (const Failure &failure) {
        output_.problem(L"Refused: cannot remove a temporary copy left in the server folder: " +
                        Sentence(failure.Cause()));
        return ExitCode::ServerRefused;
    }
    if (!Rollback())
        WarnWhenTheServerKeepsAnotherFrontEnd();
    return ExitCode::Published;
}

// The launchers take the front end that NewFE names in their DravikVT.txt; a new
// name means changing that on every workstation too.
void Publisher::WarnWhenTheServerKeepsAnotherFrontEnd() {
    std::vector<Text> present;
    try {
        for (const Text &name : ServerFilesMatching(L"*"))
            if (IsFrontEndName(platform_, name) && !IsTemporaryName(platform_, name))
                present.push_back(name);
    } catch (const Failure &) {
        return; // only a warning; the copies will say what is wrong
    }
    const Text wanted = platform_.ToUpper(version_.frontEnds.front());
    if (present.empty() || std::any_of(present.begin(), present.end(), [&](const Text &name) {
            return platform_.ToUpper(name) == wanted;
        }))
        return;
    output_.line(L"Note: the server folder holds " + Listed(present) + L", not " +
                 version_.frontEnds.front() +
                 L". Workstations take the front end that NewFE names in their DravikVT.txt.");
}

ExitCode Publisher::CopyUnderTemporaryNames() {
    LeaveWhatIsInPlace();
    output_.line(L"Copying " + Files(version_.files.size()) +
                 L" into the server folder under temporary names:");
    for (const Text &name : version_.files) {
        output_.line(L"  " + name);
        try {
            CopyOne(name);
            ++copied_;
        } catch (const Failure &failure) {
            output_.problem(L"Failed: cannot copy " + name + L": " + failure.Cause());
            // The failed copy may have left part of itself.
            ++copied_;
            RemoveTemporaryCopies(0);
            output_.problem(L"The server folder is as it was; nothing was replaced.");
            return ExitCode::ServerUnchanged;
        }
    }
    return ExitCode::Published;
}

// A file the server already holds, byte for byte, is neither kept nor renamed: a
// run again after one that stopped half-way changes only what is still old.
void Publisher::LeaveWhatIsInPlace() {
    std::vector<Text> changed;
    for (const Text &name : version_.files) {
        bool same = false;
        try {
            same = platform_.SameBytes(Source(name), Server(name));
        } catch (const Failure &) {
            // Copied then: the copy says what is wrong with the file.
        }
        if (same)
            output_.line(L"  " + name + L" is on the server already");
        else
            changed.push_back(name);
    }
    version_.files = changed;
}

void Publisher::CopyOne(const Text &name) {
    const Text temporary = Server(Temporary(name));
    int shown = 0; // the last tenth shown
    platform_.CopyFileOver(Source(name), temporary, [&](std::uint64_t copied, std::uint64_t total) {
        if (total < settings_.largeFileBytes || total == 0)
            return;
        const int tenth = static_cast<int>(std::min<std::uint64_t>(copied, total) * 10 / total);
        if (tenth <= shown)
            return;
        shown = tenth;
        output_.line(L"    " + std::to_wstring(tenth * 10) + L"% of " + Megabytes(total));
    });
    OnTheDisk(temporary);
}

// A server that goes down right after the renames must not hand out a file whose
// data was never written. The copy is made ordinary first: a read-only file could be
// neither flushed nor, at the next publish, replaced.
void Publisher::OnTheDisk(const Text &path) {
    platform_.MakeFileOrdinary(path);
    platform_.FlushFile(path);
}

ExitCode Publisher::LookUpServerFiles() {
    // Looked up before anything changes, so that nothing but the renames stands between
    // old and new.
    try {
        for (const Text &name : version_.files)
            present_.push_back(!platform_.FindFirstMatch(Server(name)).empty());
    } catch (const Failure &failure) {
        output_.problem(L"Failed: cannot look into the server folder: " + failure.Cause());
        RemoveTemporaryCopies(0);
        output_.problem(L"The server folder is as it was; nothing was replaced.");
        return ExitCode::ServerUnchanged;
    }
    return ExitCode::Published;
}

// What is about to be replaced is kept in a folder of this run (or of a run that
// stopped against the same publication), on the disk and noted before the first
// rename. The version kept until now stays kept until the publication names this one.
ExitCode Publisher::KeepWhatIsReplaced() {
    Text keeping;
    try {
        publication_ = ReadPublication(platform_, kept_);
        const auto stopped = FindStoppedRun(platform_, kept_, publication_);
        if (version_.files.empty() &&
            !(stopped && ServerChangedBy(platform_, kept_, settings_.serverFolder, *stopped))) {
            // Every file is in place already: only the record is left to empty. Its
            // lines belong with the kept version, unless that has its record already.
            if (publication_)
                kept_ = KeptVersionOf(kept_, *publication_);
            if (!publication_ || !publication_->previous ||
                !platform_.FindFirstMatch(kept_.record).empty())
                kept_.record.clear();
            return ExitCode::Published;
        }
        // A run stopped after its last rename and before writing the publication is
        // finished here: what it kept becomes the kept version.
        note_ = ChooseKeptFolder(platform_, kept_, stopped, publication_);
        for (std::size_t i = 0; i < version_.files.size(); ++i) {
            keeping = version_.files[i];
            const bool added = Names(platform_, note_.added, keeping);
            if (!present_[i]) {
                if (!added)
                    note_.added.push_back(keeping);
                continue;
            }
            // What a stopped run kept, or added, is the version before it, already noted.
            if (added || !platform_.FindFirstMatch(InFolder(kept_.files, keeping)).empty())
                continue;
            const Text temporary = InFolder(kept_.files, Temporary(keeping));
            WhileInUse(keeping, [&] { platform_.CopyFileOver(Server(keeping), temporary); });
            OnTheDisk(temporary);
            platform_.MoveFileOver(temporary, InFolder(kept_.files, keeping));
        }
        WriteNote(platform_, kept_, note_);
    } catch (const Failure &failure) {
        output_.problem(L"Failed: cannot keep " +
                        (keeping.empty() ? Text(L"the version") : keeping) +
                        L" for a rollback in " + Quoted(kept_.folder) + L": " + failure.Cause());
        RemoveTemporaryCopies(0);
        output_.problem(L"The server folder is as it was; nothing was replaced.");
        return ExitCode::ServerUnchanged;
    }
    return ExitCode::Published;
}

ExitCode Publisher::PutInPlace() {
    // The front end goes first: it is the file a workstation most likely holds open
    // while copying it, and when it cannot be replaced, nothing else has changed.
    output_.line(Rollback() ? L"Putting the kept files back in place:"
                            : L"Putting the new files in place:");
    for (std::size_t i = 0; i < version_.files.size(); ++i) {
        const Text &name = version_.files[i];
        try {
            // From the first rename until the record is emptied no launcher records
            // itself; a first rename refused lets go of the record while it waits.
            const auto rename = [&] {
                platform_.MoveFileOver(Server(Temporary(name)), Server(name));
            };
            WhileInUse(name, [&] { i == 0 ? record_.HoldFor(rename) : rename(); });
        } catch (const Failure &failure) {
            output_.problem(L"Failed: cannot put " + name + L" in place: " + failure.Cause());
            RemoveTemporaryCopies(i);
            if (i == 0) {
                output_.problem(L"The server folder is as it was; nothing was replaced.");
                return ExitCode::ServerUnchanged;
            }
            const std::vector<Text> done(version_.files.begin(), version_.files.begin() + i);
            const std::vector<Text> left(version_.files.begin() + i, version_.files.end());
            output_.problem((Rollback() ? L"Already back: " : L"Already new: ") + Listed(done) +
                            (Rollback() ? L". Not yet back: " : L". Still old: ") + Listed(left) +
                            L". " + kRecordFileName + L" was not emptied. " + RunAgain() +
                            L" to finish.");
            return ExitCode::PartlyPublished;
        }
        output_.line(L"  " + name + (present_[i] ? L" replaced" : L" added"));
    }
    copied_ = 0; // every temporary copy has its final name now
    return ExitCode::Published;
}

ExitCode Publisher::EmptyRecordFile() {
    bool emptied = false;
    try {
        // Emptied, not deleted: users who may only append to this file keep that right.
        // Held since the first rename; a record a launcher created since is held now.
        if (!record_.Held())
            WhileInUse(kRecordFileName, [&] { record_.HoldFor([] {}); });
        emptied = record_.EmptyAndMark(
            Rollback() || kept_.record.empty() ? std::nullopt : std::optional<Text>(kept_.record));
    } catch (const Failure &failure) {
        record_.LetGo();
        output_.problem(Text(L"Failed: every file is in place, but ") + kRecordFileName +
                        L" cannot be emptied: " + Sentence(failure.Cause()) + L" " + RunAgain() +
                        L", or empty " + kRecordFileName + L" yourself (do not delete it).");
        return ExitCode::RecordNotEmptied;
    }
    record_.LetGo();
    output_.line(emptied ? Text(kRecordFileName) +
                               L" emptied, but for one line naming this publication: every "
                               L"workstation updates on its next start."
                         : Text(kRecordFileName) + L" is not in the server folder: every "
                                                   L"workstation updates on its next start.");
    return ExitCode::Published;
}

// The one commit of what is kept: from here on the kept version is this run's.
ExitCode Publisher::WriteDownPublication() {
    if (note_.against.empty())
        return ExitCode::Published; // nothing replaced: the kept version stays as it was
    Publication written;
    written.published = NowText(platform_);
    written.previous = publication_ ? publication_->published : Text();
    written.added = note_.added;
    written.kept = kept_.kept;
    written.run = kept_.runId;
    try {
        WritePublication(platform_, kept_, written);
    } catch (const Failure &failure) {
        NotKept(L"when it published", failure);
        // Made against a publication that is no longer the server's: never to be taken over.
        ForgetKeptFolder(platform_, kept_);
        return ExitCode::Published;
    }
    try {
        LetGoOfOlderKeptVersions(platform_, kept_, kept_.kept);
    } catch (const Failure &failure) {
        output_.line(L"Note: cannot remove an older kept version from " + Quoted(kept_.folder) +
                     L": " + Sentence(failure.Cause()) + L" The next run tries again.");
    }
    return ExitCode::Published;
}

// Only a name of the server folder's own is removed, whatever the kept list says.
ExitCode Publisher::RemoveAddedFiles() {
    for (const Text &name : publication_->added) {
        if (name.find_first_of(L"\\/:") != Text::npos || IsTemporaryName(platform_, name) ||
            platform_.ToUpper(name) == platform_.ToUpper(kRecordFileName))
            continue;
        try {
            if (platform_.FindFirstMatch(Server(name)).empty())
                continue;
            WhileInUse(name, [&] { platform_.DeleteFileIfPresent(Server(name)); });
        } catch (const Failure &failure) {
            output_.problem(L"Failed: cannot remove " + name + L", which the last publish added: " +
                            failure.Cause());
            output_.problem(L"The kept files are back in place. " + Text(kRecordFileName) +
                            L" was not emptied. " + RunAgain() + L" to finish.");
            return ExitCode::PartlyPublished;
        }
        output_.line(L"  " + name + L" removed");
        ++removed_;
    }
    return ExitCode::Published;
}

// After a rollback nothing older is kept: a second one finds nothing to go back to.
ExitCode Publisher::LetGoOfKeptVersion() {
    try {
        Publication back;
        back.published = *publication_->previous;
        back.run = kept_.runId;
        WritePublication(platform_, kept_, back);
        LetGoOfOlderKeptVersions(platform_, kept_, Text());
    } catch (const Failure &failure) {
        NotKept(L"that the version it put back is the one on the server", failure);
    }
    return ExitCode::Published;
}

void Publisher::NotKept(const Text &what, const Failure &failure) {
    output_.problem(L"Cannot write down " + what + L" in " + Quoted(kept_.folder) + L": " +
                    Sentence(failure.Cause()) +
                    L" The files are in place; --status and --rollback may not know it.");
    notKept_ = true;
}

// A workstation reading the file at this moment holds it open on Windows; it lets
// go once its copy is done.
void Publisher::WhileInUse(const Text &name, const std::function<void()> &step) {
    // Launchers wait for the held record: it is never held longer than they wait.
    const std::optional<std::int64_t> holdLeft = record_.MillisecondsLeft();
    const bool bounded = holdLeft && *holdLeft < settings_.waitSeconds * 1000;
    const RetryPlan plan{bounded ? static_cast<int>(*holdLeft) : settings_.waitSeconds * 1000,
                         std::max(1, settings_.retryMilliseconds)};
    std::optional<Failure> inUse;
    const bool done = RetryWithin(platform_, plan, [&] {
        try {
            step();
            return true;
        } catch (const Failure &failure) {
            if (failure.Kind() != FailureKind::SharingViolation)
                throw;
            // The first rename waits for the record file too.
            const bool record = failure.Paths() == std::vector<Text>{Server(kRecordFileName)};
            if (!inUse && plan.budgetMs > 0)
                output_.line(L"  " + (record ? Text(kRecordFileName) : name) +
                             L" is in use on the server; trying again for up to " +
                             std::to_wstring(plan.budgetMs / 1000) + L" s...");
            inUse = failure;
            return false;
        }
    });
    if (!done)
        throw Failure(
            Sentence(inUse->Cause()) +
                (bounded
                     ? L" Still in use when " + Text(kRecordFileName) + L" had been held " +
                           std::to_wstring(kLongestRecordHoldMs / 1000) +
                           L" s, the longest launchers are kept waiting."
                     : L" Still in use after " + std::to_wstring(settings_.waitSeconds) + L" s."),
            FailureKind::SharingViolation, inUse->Paths());
}

void Publisher::RemoveTemporaryCopies(std::size_t from) {
    for (std::size_t i = from; i < copied_; ++i) {
        const Text temporary = Temporary(version_.files[i]);
        try {
            platform_.DeleteFileIfPresent(Server(temporary));
        } catch (const Failure &failure) {
            output_.problem(L"Cannot remove " + temporary + L": " + Sentence(failure.Cause()) +
                            L" The next run removes it; launchers never take it.");
        }
    }
    copied_ = from;
}

} // namespace dravik::publish
