// The one kind of failure the launcher raises. It carries the text a user
// sees after "Error:" when start-up cannot go on.
#pragma once

#include <exception>
#include <string>

namespace dravik {

class Failure : public std::exception {
public:
    explicit Failure(std::wstring description) : description_(std::move(description)) {}
    const std::wstring &Description() const noexcept { return description_; }
    const char *what() const noexcept override { return "DravikVT failure"; }

private:
    std::wstring description_;
};

// Raised where a count or a character position leaves the 16-bit range.
inline Failure OverflowFailure() {
    return Failure(L"Overflow");
}

} // namespace dravik
