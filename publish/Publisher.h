// Puts a new version into the server folder so that a launcher updating at the
// same moment copies, of every file, either the old one or the new one, whole.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PlatformServices.h"
#include "publish/ExitCode.h"
#include "publish/KeptVersion.h"
#include "publish/NewVersion.h"
#include "publish/RecordEmptying.h"

namespace dravik::publish {

// Where the tool's lines go: what it did, and why it stopped.
struct PublishOutput {
    std::function<void(const Text &)> line;
    std::function<void(const Text &)> problem;
};

// A publish keeps what it replaces; a rollback puts that back the same way.
enum class PublishMode { Publish, Rollback };

struct PublishSettings {
    PublishMode mode = PublishMode::Publish;
    Text newVersionFolder; // a rollback takes the kept version instead
    Text serverFolder;
    // How long a file held open on the server (a workstation copying it) is waited for.
    int waitSeconds = 60;
    int retryMilliseconds = 250;
    // Files from this size on get progress lines while they are copied.
    std::uint64_t largeFileBytes = 16 * 1024 * 1024;
};

class Publisher {
public:
    Publisher(PlatformServices &platform, PublishSettings settings, PublishOutput output);
    ExitCode Run();

private:
    Text Source(const Text &name) const;
    Text Server(const Text &name) const;
    bool Rollback() const { return settings_.mode == PublishMode::Rollback; }
    // "Run DravikPublish again", as the command that finishes this run's work.
    Text RunAgain() const;
    ExitCode ReadNewVersion();
    ExitCode LockTheServerFolder();
    ExitCode ReadKeptVersion();
    ExitCode CheckRecordFile();
    ExitCode PrepareServer();
    ExitCode CopyUnderTemporaryNames();
    ExitCode LookUpServerFiles();
    ExitCode KeepWhatIsReplaced();
    ExitCode PutInPlace();
    ExitCode WriteDownPublication();
    ExitCode RemoveAddedFiles();
    ExitCode EmptyRecordFile();
    ExitCode LetGoOfKeptVersion();
    void NotKept(const Text &what, const Failure &failure);
    void LeaveWhatIsInPlace();
    void CopyOne(const Text &name);
    Text Temporary(const Text &name) const { return TemporaryNameOf(kept_.runId, name); }
    void OnTheDisk(const Text &path);
    void WhileInUse(const Text &name, const std::function<void()> &step);
    void RemoveTemporaryCopies(std::size_t from);
    void WarnWhenTheServerKeepsAnotherFrontEnd();
    std::vector<Text> ServerFilesMatching(const Text &pattern);

    PlatformServices &platform_;
    PublishSettings settings_;
    PublishOutput output_;
    NewVersion version_;
    std::size_t copied_ = 0;    // temporary copies made so far, in the order of version_.files
    std::vector<bool> present_; // on the server before, in the order of version_.files
    KeptPlace kept_;
    std::unique_ptr<FileLock> runLock_;      // one run at a time on the server folder
    KeptNote note_;                          // of the kept folder this publish fills
    std::optional<Publication> publication_; // of the version on the server, when written down
    RecordEmptying record_;   // held from the first rename until it holds only the mark
    std::size_t removed_ = 0; // files that the rolled-back publish had added
    bool notKept_ = false;
};

} // namespace dravik::publish
