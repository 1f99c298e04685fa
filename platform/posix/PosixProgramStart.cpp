// Program start on POSIX: a detached process that the launcher neither waits for
// nor has to reap.
#include "platform/posix/PosixProgramStart.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/common/TextSplit.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileDescriptor.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PosixText.h"

extern char **environ;

namespace dravik {

namespace {

bool IsFolder(const std::string &path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRunnable(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The program to run: a path is resolved like any file; a bare name is looked for in
// the current folder and then along PATH, as the shell looks for it.
std::string ProgramPath(const Text &file) {
    bool hasFolder = file.find_first_of(L"\\/") != Text::npos;
    std::string resolved = ResolvePath(file);
    if (hasFolder || file.empty())
        return resolved;
    if (IsRunnable(resolved))
        return "./" + resolved;
    for (const Text &folder : SplitAtAny(EnvironmentValue(L"PATH"), L":")) {
        std::string candidate = ResolvePath((folder.empty() ? L"." : folder) + L"/" + file);
        if (IsRunnable(candidate))
            return candidate;
    }
    return resolved;
}

std::vector<char *> Pointers(std::vector<std::string> &strings) {
    std::vector<char *> pointers;
    for (std::string &s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

std::vector<Text> SplitCommandLine(const Text &parameters) {
    std::vector<Text> arguments;
    Text current;
    bool inArgument = false;
    bool quoted = false;
    std::size_t i = 0;
    const std::size_t n = parameters.size();
    while (i < n) {
        wchar_t c = parameters[i];
        if ((c == L' ' || c == L'\t') && !quoted) {
            if (inArgument)
                arguments.push_back(current);
            current.clear();
            inArgument = false;
            ++i;
        } else if (c == L'\\') {
            std::size_t end = parameters.find_first_not_of(L'\\', i);
            if (end == Text::npos)
                end = n;
            std::size_t count = end - i;
            inArgument = true;
            if (end < n && parameters[end] == L'"') {
                current.append(count / 2, L'\\');
                if (count % 2 == 1) {
                    current += L'"';
                    ++end;
                }
            } else {
                current.append(count, L'\\');
            }
            i = end;
        } else if (c == L'"') {
            inArgument = true;
            if (quoted && i + 1 < n && parameters[i + 1] == L'"') {
                current += L'"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else {
            current += c;
            inArgument = true;
            ++i;
        }
    }
    if (inArgument)
        arguments.push_back(current);
    return arguments;
}

void PosixPlatform::StartProgram(WindowHandle, const Text &file, const Text &parameters,
                                 const Text &workingFolder, int showMode) {
    std::string program = ProgramPath(file);
    std::string folder = ResolvePath(workingFolder);
    bool changeFolder = IsFolder(folder); // "c:\" and the like: stay where we are

    std::vector<std::string> argumentText{program};
    for (const Text &argument : SplitCommandLine(parameters))
        argumentText.push_back(Utf8FromText(argument));
    const std::string showVariable = "DRAVIKVT_SHOW_MODE=";
    std::vector<std::string> environmentText;
    for (char **entry = environ; entry && *entry; ++entry)
        if (std::strncmp(*entry, showVariable.c_str(), showVariable.size()) != 0)
            environmentText.emplace_back(*entry);
    // The program cannot be shown minimised from here; a stand-in can read how it was asked.
    environmentText.push_back(showVariable + std::to_string(showMode));
    std::vector<char *> argv = Pointers(argumentText);
    std::vector<char *> envp = Pointers(environmentText);

    // The program tells through this pipe why it could not start; a start that
    // works closes it unwritten, since it closes on exec.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        throw SystemFailure(errno, program);
    FileDescriptor reading(report[0]);
    FileDescriptor writing(report[1]);

    // Everything is prepared before forking. The middle process exits at once, so
    // the program is adopted by init and never becomes our zombie.
    pid_t middle = fork();
    if (middle < 0)
        throw SystemFailure(errno, program);
    if (middle == 0) {
        if (fork() != 0)
            _exit(0);
        if (!fileSizeSignalWasIgnored_)
            std::signal(SIGXFSZ, SIG_DFL); // an ignored signal would survive execve
        setsid(); // off the launcher's terminal session: closing it leaves Access running
        int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (nothing >= 0) {
            dup2(nothing, 0); // the launcher's prompts keep their input
            if (nothing != 0)
                close(nothing); // the program gets its standard descriptors, no more
        }
        if (!changeFolder || chdir(folder.c_str()) == 0)
            execve(program.c_str(), argv.data(), envp.data());
        int error = errno;
        ssize_t ignored = write(writing.Get(), &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    writing.Close();
    int status = 0;
    RetryOnInterrupt([&] { return waitpid(middle, &status, 0); });
    int error = 0;
    const ssize_t got = RetryOnInterrupt([&] { return read(reading.Get(), &error, sizeof error); });
    if (got == static_cast<ssize_t>(sizeof error))
        throw SystemFailure(error, {file});
}

} // namespace dravik
