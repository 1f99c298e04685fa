// The one translation of errno values: the system's own text, what the logic
// tells apart, the failure carrying both with the code, and the status a
// registry call answers with.
#pragma once

#include <cerrno>
#include <string>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik {

// The system's description of an error number.
Text ErrorText(int errorNumber);

// How the logic tells this error number apart from others.
FailureKind KindOfErrno(int errorNumber);

// The failure for an error number, naming the files it concerns (given as the
// program gave them, or as native paths).
Failure SystemFailure(int errorNumber, std::vector<Text> paths = {});
Failure SystemFailure(int errorNumber, const std::string &nativePath);

// Calls `call` again for as long as a signal cuts it short (-1 with EINTR); its
// last answer.
template <class Call> auto RetryOnInterrupt(Call call) {
    auto result = call();
    while (result == -1 && errno == EINTR)
        result = call();
    return result;
}

// The Win32 status a registry service answers with for an error number.
long RegistryStatusOf(int errorNumber);

} // namespace dravik
