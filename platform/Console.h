// The console of a command-line program (the publish tool; the launcher has
// none): its arguments and its output, converted at this boundary.
#pragma once

#include <vector>

#include "platform/PlatformServices.h"

namespace dravik {

// The arguments after the program's own name.
std::vector<Text> ConsoleArguments(int argc, char **argv);

// One line, written at once, on standard output or on standard error. A console
// shows every letter; output sent to a file or a pipe is UTF-8.
void WriteConsoleLine(const Text &line, bool toStandardError = false);

} // namespace dravik
