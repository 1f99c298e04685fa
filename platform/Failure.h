// The one kind of failure the launcher raises. It carries the text a user
// sees after "Error:" when start-up cannot go on.
#pragma once

#include <exception>
#include <string>

namespace dravik {

class Failure : public std::exception {
public:
    explicit Failure(std::wstring description, bool fileInUse = false)
        : description_(std::move(description)), fileInUse_(fileInUse) {}
    const std::wstring &Description() const noexcept { return description_; }
    // Another program holds the file open in a way that refuses this access; the
    // same call may work once it lets go.
    bool FileInUse() const noexcept { return fileInUse_; }
    const char *what() const noexcept override { return "DravikVT failure"; }

private:
    std::wstring description_;
    bool fileInUse_;
};

// Raised where a count or a character position leaves the 16-bit range.
inline Failure OverflowFailure() {
    return Failure(L"Overflow");
}

} // namespace dravik
