// A slow file server, preloaded into the launcher: every open of a path under
// DRAVIK_SLOW_FOLDER first waits DRAVIK_SLOW_MS milliseconds, as a round trip to a
// server over a branch-office link would.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>

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
    return next(path, flags, mode);
}

int open64(const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeOf(flags, arguments);
    va_end(arguments);
    DelayIfOnTheServer(path);
    static auto next = Next<int (*)(const char *, int, ...)>("open64");
    return next(path, flags, mode);
}

int openat(int folder, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeOf(flags, arguments);
    va_end(arguments);
    DelayIfOnTheServer(path);
    static auto next = Next<int (*)(int, const char *, int, ...)>("openat");
    return next(folder, path, flags, mode);
}

int openat64(int folder, const char *path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeOf(flags, arguments);
    va_end(arguments);
    DelayIfOnTheServer(path);
    static auto next = Next<int (*)(int, const char *, int, ...)>("openat64");
    return next(folder, path, flags, mode);
}

} // extern "C"
