#include "publish/RunLock.h"

#include "platform/Retry.h"

namespace dravik::publish {

namespace {

// A run that is ending lets go within moments; one that is working holds on.
constexpr RetryPlan kRunLockWait{2000, 100};

Text Sentence(const Text &text) {
    return !text.empty() && text.back() == L'.' ? text : text + L".";
}

} // namespace

ExitCode TakeRunLock(PlatformServices &platform, const Text &serverFolder, const KeptPlace &place,
                     const PublishOutput &output, std::unique_ptr<FileLock> &lock) {
    const Text path = InFolder(place.folder, kRunLockName);
    try {
        platform.MakeFolder(place.folder);
    } catch (const Failure &failure) {
        output.problem(L"Refused: cannot write to the server folder \"" + serverFolder + L"\": " +
                       Sentence(failure.Cause()) +
                       L" Publishing needs the right to create, replace and delete files there.");
        return ExitCode::ServerRefused;
    }
    bool held = false;
    try {
        held = RetryWithin(platform, kRunLockWait, [&] {
            lock = platform.TryLockFile(path);
            return lock != nullptr;
        });
    } catch (const Failure &failure) {
        output.problem(L"Refused: cannot lock \"" + path + L"\": " + Sentence(failure.Cause()) +
                       L" DravikPublish needs a server folder that can lock a file, so that "
                       L"no two runs work on it at once.");
        return ExitCode::ServerRefused;
    }
    if (held)
        return ExitCode::Published;
    // Held by a run that is working, or by one whose computer lost the network: the
    // server keeps that one's handle open until it notices.
    output.problem(L"Another DravikPublish is working on this server folder, or one stopped on a "
                   L"computer that lost the network (the server lets go of it within minutes; "
                   L"the server's Open Files list shows who holds " +
                   path + L")");
    return ExitCode::AnotherRun;
}

} // namespace dravik::publish
