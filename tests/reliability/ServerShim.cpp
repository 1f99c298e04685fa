// A file server under the test's control, preloaded into the launcher or DravikPublish.
// Every open of a path under DRAVIK_SLOW_FOLDER first waits DRAVIK_SLOW_MS
// milliseconds, as a round trip to a server over a branch-office link would. With
// DRAVIK_PAUSE_DIR set, the process stops right after one step, named by
// DRAVIK_PAUSE_AT as "open:<file name>:<n>" (the n-th open of that file in the folder)
// or "rename:<n>" (the n-th rename onto a file of the folder, temporary names starting
// with "~" not counted): it makes the file "paused" in that folder and goes on once
// the test makes "go" there, or after two minutes.
// For a run that fails or ends half-way: DRAVIK_REFUSE_RENAME refuses the rename onto
// that path, and DRAVIK_REFUSE_CUT the cutting of a file, once each (DRAVIK_ONCE names
// a file that notes it happened, across processes); DRAVIK_SIGNAL_AT_RENAME="<n> KILL"
// (or STOP) kills (or stops) the process at its n-th rename, before it renames.
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

void DelayIfOnTheServer(const char *path) {
    static const char *folder = std::getenv("DRAVIK_SLOW_FOLDER");
    static const long ms =
        std::atol(std::getenv("DRAVIK_SLOW_MS") ? std::getenv("DRAVIK_SLOW_MS") : "0");
    if (folder == nullptr || ms <= 0 || path == nullptr ||
        std::strncmp(path, folder, std::strlen(folder)) != 0)
        return;
    timespec pause{ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&pause, &pause) != 0) {
    }
}

const char *Env(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The name of `path` when it lies directly in the server folder, else "".
std::string ServerFileName(const char *path) {
    const std::string folder = Env("DRAVIK_SLOW_FOLDER");
    const std::string p = path != nullptr ? path : "";
    if (folder.empty() || p.compare(0, folder.size(), folder) != 0)
        return "";
    std::string rest = p.substr(folder.size());
    while (!rest.empty() && rest.front() == '/')
        rest.erase(0, 1);
    return rest.find('/') == std::string::npos ? rest : "";
}

void Pause() {
    const std::string dir = Env("DRAVIK_PAUSE_DIR");
    if (FILE *paused = std::fopen((dir + "/paused").c_str(), "w"))
        std::fclose(paused);
    struct stat info {};
    for (int waited = 0; waited < 120000 && stat((dir + "/go").c_str(), &info) != 0; waited += 10) {
        timespec pause{0, 10000000};
        nanosleep(&pause, nullptr);
    }
}

// After an open or a rename: stops there when it is the step asked for.
void PauseIfAsked(const std::string &kind, const std::string &name) {
    static int count = 0;
    const std::string at = Env("DRAVIK_PAUSE_AT");
    if (*Env("DRAVIK_PAUSE_DIR") == '\0' || name.empty() ||
        at.compare(0, kind.size() + 1, kind + ":") != 0)
        return;
    std::string rest = at.substr(kind.size() + 1);
    if (kind == "open") {
        const std::size_t colon = rest.rfind(':');
        if (rest.substr(0, colon) != name)
            return;
        rest = rest.substr(colon + 1);
    } else if (name.front() == '~') {
        return;
    }
    if (++count == std::atoi(rest.c_str()))
        Pause();
}

// True the first time only: the marker file is made once.
bool FirstTime() {
    FILE *marker = std::fopen(Env("DRAVIK_ONCE"), "wx");
    if (marker != nullptr)
        std::fclose(marker);
    return marker != nullptr;
}

mode_t ModeOf(int flags, va_list arguments) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(arguments, mode_t)
                                                                      : 0;
}

template <class Function> Function Next(const char *name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeOf(flags, arguments);
    va_end(arguments);
    DelayIfOnTheServer(path);
    static auto next = Next<int (*)(const char *, int, ...)>("open");
    const int opened = next(path, flags, mode);
    PauseIfAsked("open", ServerFileName(path));
    return opened;
}

int open64(const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeOf(flags, arguments);
    va_end(arguments);
    DelayIfOnTheServer(path);
    static auto next = Next<int (*)(const char *, int, ...)>("open64");
    const int opened = next(path, flags, mode);
    PauseIfAsked("open", ServerFileName(path));
    return opened;
}

int openat(int folder, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeOf(flags, arguments);
    va_end(arguments);
    DelayIfOnTheServer(path);
    static auto next = Next<int (*)(int, const char *, int, ...)>("openat");
    const int opened = next(folder, path, flags, mode);
    PauseIfAsked("open", ServerFileName(path));
    return opened;
}

int openat64(int folder, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeOf(flags, arguments);
    va_end(arguments);
    DelayIfOnTheServer(path);
    static auto next = Next<int (*)(int, const char *, int, ...)>("openat64");
    const int opened = next(folder, path, flags, mode);
    PauseIfAsked("open", ServerFileName(path));
    return opened;
}

int rename(const char *from, const char *to) {
    static int renames = 0;
    const char *signal = Env("DRAVIK_SIGNAL_AT_RENAME");
    if (*signal != '\0' && ++renames == std::atoi(signal))
        std::raise(std::strstr(signal, "STOP") != nullptr ? SIGSTOP : SIGKILL);
    if (std::strcmp(Env("DRAVIK_REFUSE_RENAME"), to) == 0 && FirstTime()) {
        errno = EACCES;
        return -1;
    }
    static auto next = Next<int (*)(const char *, const char *)>("rename");
    const int renamed = next(from, to);
    PauseIfAsked("rename", ServerFileName(to));
    return renamed;
}

int ftruncate(int file, off_t length) {
    if (*Env("DRAVIK_REFUSE_CUT") != '\0' && FirstTime()) {
        errno = EACCES;
        return -1;
    }
    static auto next = Next<int (*)(int, off_t)>("ftruncate");
    return next(file, length);
}

} // extern "C"
