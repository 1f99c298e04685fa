#include "platform/posix/PosixErrors.h"

#include <cerrno>
#include <cstring>

#include "platform/posix/PosixText.h"

namespace dravik {

Text ErrorText(int errorNumber) {
    return TextFromUtf8(std::strerror(errorNumber));
}

FailureKind KindOfErrno(int errorNumber) {
    switch (errorNumber) {
    case EWOULDBLOCK:
    case ETXTBSY:
    case EBUSY:
        return FailureKind::SharingViolation;
    case EACCES:
    case EPERM:
        return FailureKind::AccessDenied;
    case EEXIST:
        return FailureKind::AlreadyExists;
    default:
        return FailureKind::Other;
    }
}

Failure SystemFailure(int errorNumber, std::vector<Text> paths) {
    return Failure(ErrorText(errorNumber), KindOfErrno(errorNumber), std::move(paths), errorNumber);
}

Failure SystemFailure(int errorNumber, const std::string &nativePath) {
    return SystemFailure(errorNumber, std::vector<Text>{TextFromUtf8(nativePath)});
}

long RegistryStatusOf(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
    case ENOTDIR:
        return kRegFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return kRegAccessDenied;
    default:
        return kRegIoFailed;
    }
}

} // namespace dravik
