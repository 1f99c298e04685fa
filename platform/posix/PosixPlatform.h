// The POSIX implementation of the platform services, so that the launcher builds
// and runs on Linux. Windows behaviour is mirrored where the logic depends on it:
// paths resolve without regard to letter case, text files use a Windows code page,
// the registry is a folder tree, and the window is drawn on the terminal.
#pragma once

#include <memory>

#include "platform/PlatformServices.h"

namespace dravik {

class PosixRegistry;
class PosixTerminalUi;

class PosixPlatform : public PlatformServices {
public:
    PosixPlatform();
    ~PosixPlatform() override;

    Text ProgramFolderPath() override;
    Text GetEnvVar(const Text &name) override;
    Text DateText() override;
    Text TimeText() override;
    bool IsKeyDown(int virtualKey) override;
    void SleepMilliseconds(int milliseconds) override;
    [[noreturn]] void EndProgram(int exitCode) override;
    Text ToUpper(const Text &text) override;
    Text ToLower(const Text &text) override;

    void ForEachLine(const Text &path, const std::function<void(const Text &)> &visit) override;
    void ForEachLineBytes(const Text &path,
                          const std::function<void(const std::string &)> &visit) override;
    Text DecodeAnsi(const std::string &bytes) override;
    bool AppendLineIf(const Text &path, const Text &text,
                      const std::function<bool(const Text &)> &stillWanted) override;
    Text FindFirstMatch(const Text &pathPattern) override;
    Text FindNextMatch() override;
    void CopyFileOver(const Text &source, const Text &target,
                      const CopyProgress &progress) override;
    void CopyToNewFile(const Text &source, const Text &target,
                       const CopyProgress &progress) override;
    FileStamp StampOf(const Text &path) override;
    void FlushFile(const Text &path) override;
    void MakeFileOrdinary(const Text &path) override;
    void MoveFileOver(const Text &source, const Text &target) override;
    void DeleteFileIfPresent(const Text &path) override;
    std::unique_ptr<FileLock> TryLockFile(const Text &path) override;
    std::unique_ptr<HeldRecord> TryHoldRecord(const Text &path) override;
    PathKind KindOfPath(const Text &path) override;
    void MakeFolder(const Text &path) override;
    void WriteWholeFile(const Text &path, const std::string &bytes) override;
    Text ParentFolderOf(const Text &path) override;

    std::vector<Text> FoldersMatching(const Text &pathPattern) override;
    void RemoveFolder(const Text &path) override;
    bool SameBytes(const Text &first, const Text &second) override;

    std::int64_t MillisecondsNow() override;
    void AppendToLog(const Text &path, const Text &line, std::uint64_t rotateAt) override;

    Text KnownFolderPath(KnownFolder which) override;
    Text LongPathOf(const Text &path) override;

    RegistryServices &Registry() override;

    WindowServices &Window() override;

    void StartProgram(WindowHandle owner, const Text &file, const Text &parameters,
                      const Text &workingFolder, int showMode) override;

private:
    // The process's one folder search: the matches found by FindFirstMatch.
    std::vector<Text> matches_;
    std::size_t nextMatch_ = 0;
    std::unique_ptr<PosixRegistry> registry_;
    std::unique_ptr<PosixTerminalUi> ui_;
    // Whether SIGXFSZ was ignored when the launcher started; a started program gets
    // the launcher's own start condition back, not the launcher's override.
    bool fileSizeSignalWasIgnored_ = false;
};

} // namespace dravik
