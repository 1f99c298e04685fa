// The one door from the launcher's logic to the operating system.
//
// Everything the launcher does to files, folders, the clock, the environment,
// the keyboard, the registry, its window and other programs goes through this
// interface, so that the logic builds and runs the same against Windows, POSIX
// and the in-memory fake used by the unit tests. No system header is included
// here or anywhere in the logic.
//
// Text inside the program is std::wstring. Each implementation converts at its
// own boundary (the ANSI code page for files and registry strings).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Failure.h"
#include "platform/RegistryServices.h"
#include "platform/WindowServices.h"

namespace dravik {

// Virtual-key codes the launcher asks about.
constexpr int kVkShift = 16;
constexpr int kVkControl = 17;

// ForEachLine keeps this many bytes of a line at most; the rest of a longer line is
// read past, so that one huge line in a shared file never costs a start its memory.
constexpr std::size_t kLongestLineKept = 4096;

// Show mode "minimised" for StartProgram (SW_SHOWMINIMIZED).
constexpr int kShowMinimized = 2;

// How far a copy has got: bytes copied so far, of `total`. Called now and then
// while the copy runs, on the calling thread.
using CopyProgress = std::function<void(std::uint64_t copied, std::uint64_t total)>;

// What a file looks like from outside: a file that was written in between, or
// another file renamed over it, looks different.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t lastWrite = 0; // the system's own units
    std::uint64_t fileId = 0;   // which file on its volume: a file renamed over it has another
    bool operator==(const FileStamp &other) const {
        return size == other.size && lastWrite == other.lastWrite && fileId == other.fileId;
    }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

// Folders the system keeps for the user and for itself.
enum class KnownFolder {
    Profile,          // %USERPROFILE%; $HOME
    ProfilesRoot,     // C:\Users
    Desktop,          // also under $HOME
    Documents,        // also under $HOME
    Downloads,        // also under $HOME
    OneDrive,         // the OneDrive root
    Temp,             // %TEMP%; $TMPDIR or /tmp
    RoamingAppData,   // %APPDATA%
    LocalAppData,     // %LOCALAPPDATA%
    UserProgramFiles, // %LOCALAPPDATA%\Programs
    Public,           // C:\Users\Public
    ProgramData,      // C:\ProgramData
    ProgramFiles,     // the native one
    ProgramFilesX86,
    Windows,
};

// A lock file held by this process; destroying it lets the lock go.
class FileLock {
public:
    virtual ~FileLock() = default;
};

// What is at a path, looked at without following a link.
enum class PathKind {
    Nothing,
    File, // a regular file
    Folder,
    Link, // a symbolic link; on Windows any reparse point (a junction too)
};

// The record file held as an appending launcher holds it: appenders and any other
// emptying are kept out until it is destroyed, readers never are. Everything done
// to the file goes through this one open file.
class HeldRecord {
public:
    virtual ~HeldRecord() = default;
    // Copies what the file holds, a chunk at a time, into `target` (created or
    // replaced), and writes the copy to the disk.
    virtual void CopyTo(const Text &target) = 0;
    // Cuts the file to nothing.
    virtual void Cut() = 0;
    // Writes `line` + CR LF at the end of the file, in the ANSI code page.
    virtual void WriteLine(const Text &line) = 0;
    // Writes what the system still holds of the file to the disk.
    virtual void Flush() = 0;
};

class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // ---- Program, clock and environment -------------------------------------------------
    // Folder of the running executable, no trailing separator except at a drive's top.
    virtual Text ProgramFolderPath() = 0;
    // Environment variable, name matched without regard to case; "" when unset. Never fails.
    virtual Text GetEnvVar(const Text &name) = 0;
    // Today in the user's short date format; the time of day in the long time format.
    virtual Text DateText() = 0;
    virtual Text TimeText() = 0;
    // True while the key with this virtual-key code is held.
    virtual bool IsKeyDown(int virtualKey) = 0;
    // Waits, between the attempts of a bounded retry.
    virtual void SleepMilliseconds(int milliseconds) = 0;
    // Ends the process at once with this exit code; no further handler runs.
    [[noreturn]] virtual void EndProgram(int exitCode) = 0;

    // ---- Letter case ----------------------------------------------------------------------
    // The platform's case mapping of every letter.
    virtual Text ToUpper(const Text &text) = 0;
    virtual Text ToLower(const Text &text) = 0;

    // ---- Files and folders --------------------------------------------------------------
    // The lines of a text file, without their line ends, handed one at a time to
    // `visit` (the text it gets lives only for the call), so that a long file is never
    // held whole in memory; each line cut to its first kLongestLineKept bytes. Fails
    // when the file cannot be opened.
    virtual void ForEachLine(const Text &path, const std::function<void(const Text &)> &visit) = 0;
    // The lines of a file as they are stored, each without its line end, for a caller
    // that decides itself how the file is written.
    virtual void ForEachLineBytes(const Text &path,
                                  const std::function<void(const std::string &)> &visit) = 0;
    // Bytes in the system's ANSI code page as text, one character per byte.
    virtual Text DecodeAnsi(const std::string &bytes) = 0;
    // Appends text + CR LF in one write, creating the file when absent. A last line
    // left without its end is ended first, so the new line always stands alone.
    // `stillWanted` runs while the file is held for the append, with every other
    // writer kept out (an appender, an emptying), and is given the file's first line
    // as it is then, read as ForEachLine reads it ("" for an empty file); when it
    // answers false nothing is written and the answer is false.
    virtual bool AppendLineIf(const Text &path, const Text &text,
                              const std::function<bool(const Text &firstLine)> &stillWanted) = 0;
    void AppendLine(const Text &path, const Text &text) {
        AppendLineIf(path, text, [](const Text &) { return true; });
    }
    // Wildcard search for ordinary files; bare name of the first match or "".
    // Starts the process's one search cursor over.
    virtual Text FindFirstMatch(const Text &pathPattern) = 0;
    // Next bare name of the current search, or "" when exhausted. Never fails.
    virtual Text FindNextMatch() = 0;
    // Copies source over target, replacing an existing target. `progress` hears how far
    // the copy has got, where the system tells (Wine, for one, does not).
    virtual void CopyFileOver(const Text &source, const Text &target,
                              const CopyProgress &progress = {}) = 0;
    // Copies source into a new file; fails (AlreadyExists) when `target` is there already,
    // so that no two processes ever write one file. A copy that fails after making the
    // file removes it again. The file may keep the source's attributes, as copies on
    // Windows do. `progress` hears how far the copy has got, where the system tells.
    virtual void CopyToNewFile(const Text &source, const Text &target,
                               const CopyProgress &progress = {}) = 0;
    // The size, last-write time and identity of a file as it is now, read through a
    // handle opened for the purpose (a network client may answer a look by name from
    // what it saw seconds ago); fails when it cannot be looked at.
    virtual FileStamp StampOf(const Text &path) = 0;
    // Writes what the system still holds of the file to the disk, so that a rename
    // that follows can never be replayed over data that was not written.
    virtual void FlushFile(const Text &path) = 0;
    // Clears the read-only, hidden and system attributes, so that the file can be replaced
    // and is found by FindFirstMatch; a file that is not there is no failure.
    virtual void MakeFileOrdinary(const Text &path) = 0;
    // Moves source onto target in one step, replacing an existing target; both lie in one
    // folder. Used to put a completely copied file in place; the rename itself is on
    // the disk before it returns.
    virtual void MoveFileOver(const Text &source, const Text &target) = 0;
    // Removes a file; a file that is not there is no failure.
    virtual void DeleteFileIfPresent(const Text &path) = 0;
    // Takes the lock file `path`, creating it when absent; nullptr when another holder has
    // it. Never waits. The lock goes with the result, and with the process however it ends.
    virtual std::unique_ptr<FileLock> TryLockFile(const Text &path) = 0;
    // Holds an existing regular file as appenders hold the record file; nullptr when an
    // appender or another such hold has it now. Never waits, never creates, never cuts,
    // never follows a link: a link, a folder or an absent file fails.
    virtual std::unique_ptr<HeldRecord> TryHoldRecord(const Text &path) = 0;
    // What is at the path now; fails only when the system cannot say.
    virtual PathKind KindOfPath(const Text &path) = 0;
    // Makes the folder when it is not there; its parent must be.
    virtual void MakeFolder(const Text &path) = 0;
    // Writes `bytes` as the whole file, creating or replacing it.
    virtual void WriteWholeFile(const Text &path, const std::string &bytes) = 0;
    // The path with its last component removed, as the scripting runtime's
    // GetParentFolderName computes it; the disk is never asked.
    virtual Text ParentFolderOf(const Text &path) = 0;

    // ---- Folders of DravikPublish's own -----------------------------------------------------
    // The bare names of the folders that `pathPattern` matches (wildcards in its last
    // component, as FindFirstMatch takes them), sorted; none when its folder is absent.
    virtual std::vector<Text> FoldersMatching(const Text &pathPattern) = 0;
    // Removes a folder and the files in it; a folder that is not there is no failure. A
    // folder inside it is refused, and so is a file that cannot be deleted.
    virtual void RemoveFolder(const Text &path) = 0;
    // Whether both files hold the same bytes, read a part at a time; a file that is not
    // there is like no other. Fails when a file there cannot be read.
    virtual bool SameBytes(const Text &first, const Text &second) = 0;

    // ---- The log a site may switch on ----------------------------------------------------
    // Milliseconds on a clock that only goes forward: how long something took.
    virtual std::int64_t MillisecondsNow() = 0;
    // Appends `line` + CR LF to the log `path` in UTF-8; a new log begins with the
    // byte-order mark. A log of `rotateAt` bytes or more first moves to `path` + ".1",
    // replacing it: of two processes at it together one moves it, and neither loses
    // its line. Waits only a moment for another writer, then fails.
    virtual void AppendToLog(const Text &path, const Text &line, std::uint64_t rotateAt) = 0;

    // ---- The registry; the launcher window, message boxes and the prompt ---------------
    virtual RegistryServices &Registry() = 0;
    virtual WindowServices &Window() = 0;

    // ---- Folders a trusted location must never be --------------------------------------
    // The folder the system keeps for `which`, without a trailing separator; "" when it
    // has none.
    virtual Text KnownFolderPath(KnownFolder which) = 0;
    // The path in its long spelling where it exists (C:\PROGRA~1 is C:\Program Files);
    // as given otherwise.
    virtual Text LongPathOf(const Text &path) = 0;

    // ---- Program start -------------------------------------------------------------------
    // Starts a program through the shell; never waits. Raises a failure naming the
    // program when the shell cannot start it.
    virtual void StartProgram(WindowHandle owner, const Text &file, const Text &parameters,
                              const Text &workingFolder, int showMode) = 0;
};

// The bare names a wildcard search finds, all at once, for a caller that only lists
// (it uses the one search cursor, as FindFirstMatch does).
inline std::vector<Text> FilesMatching(PlatformServices &platform, const Text &pathPattern) {
    std::vector<Text> names;
    for (Text name = platform.FindFirstMatch(pathPattern); !name.empty();
         name = platform.FindNextMatch())
        names.push_back(name);
    return names;
}

// The lines of a text file, all at once.
inline std::vector<Text> ReadAllLines(PlatformServices &platform, const Text &path) {
    std::vector<Text> lines;
    platform.ForEachLine(path, [&](const Text &line) { lines.push_back(line); });
    return lines;
}

} // namespace dravik
