// The one kind of failure the launcher raises. It carries the text a user
// sees after "Error:" when start-up cannot go on.
#pragma once

#include <exception>
#include <string>

namespace dravik {

// What the logic needs to tell apart, whatever the system's own error code:
// a file someone else holds, a refused access, a name already taken.
enum class FailureKind { Other, SharingViolation, AccessDenied, AlreadyExists };

class Failure : public std::exception {
public:
    explicit Failure(std::wstring description, FailureKind kind = FailureKind::Other)
        : description_(std::move(description)), kind_(kind) {}
    const std::wstring &Description() const noexcept { return description_; }
    FailureKind Kind() const noexcept { return kind_; }
    const char *what() const noexcept override { return "DravikVT failure"; }

private:
    std::wstring description_;
    FailureKind kind_;
};

// Raised where a count or a character position leaves the 16-bit range.
inline Failure OverflowFailure() {
    return Failure(L"Overflow");
}

} // namespace dravik
