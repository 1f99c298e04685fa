#include "platform/Console.h"

#include <cerrno>
#include <unistd.h>

#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixText.h"

namespace dravik {

std::vector<Text> ConsoleArguments(int argc, char **argv) {
    std::vector<Text> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(TextFromUtf8(argv[i]));
    return arguments;
}

void WriteConsoleLine(const Text &line, bool toStandardError) {
    const std::string bytes = Utf8FromText(line) + "\n";
    const int fd = toStandardError ? STDERR_FILENO : STDOUT_FILENO;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t put =
            RetryOnInterrupt([&] { return ::write(fd, bytes.data() + done, bytes.size() - done); });
        if (put <= 0)
            return; // nobody is listening; publishing goes on
        done += static_cast<std::size_t>(put);
    }
}

} // namespace dravik
