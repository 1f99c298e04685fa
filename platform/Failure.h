// The one kind of failure the launcher raises. It carries the text a user
// sees after "Error:" when start-up cannot go on.
#pragma once

#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace dravik {

// What the logic needs to tell apart, whatever the system's own error code:
// a file someone else holds, a refused access, a name already taken.
enum class FailureKind { Other, SharingViolation, AccessDenied, AlreadyExists };

class Failure : public std::exception {
public:
    explicit Failure(std::wstring text, FailureKind kind = FailureKind::Other,
                     std::vector<std::wstring> paths = {}, long systemCode = 0)
        : text_(std::move(text)), kind_(kind), paths_(std::move(paths)), systemCode_(systemCode) {
        Compose();
    }

    // The cause, then the files it concerns, in one form everywhere:
    // `text ("path")`, or `text ("source" → "target")` for a copy.
    const std::wstring &Description() const noexcept { return description_; }
    // The cause alone, as the system words it.
    const std::wstring &Cause() const noexcept { return text_; }
    FailureKind Kind() const noexcept { return kind_; }
    const std::vector<std::wstring> &Paths() const noexcept { return paths_; }
    // The system's own error code (a Win32 error, an errno), 0 for a failure of the
    // launcher's own.
    long SystemCode() const noexcept { return systemCode_; }
    const char *what() const noexcept override { return "DravikVT failure"; }

    // The same cause, told of other files: a copy made through a temporary file
    // names the files the user knows.
    Failure ConcerningFiles(std::vector<std::wstring> paths) const {
        return Failure(text_, kind_, std::move(paths), systemCode_);
    }

private:
    void Compose() {
        description_ = text_;
        if (paths_.empty())
            return;
        description_ += L" (";
        for (std::size_t i = 0; i < paths_.size(); ++i)
            description_ += (i == 0 ? L"\"" : L" → \"") + paths_[i] + L"\"";
        description_ += L")";
    }

    std::wstring text_;
    FailureKind kind_;
    std::vector<std::wstring> paths_;
    long systemCode_;
    std::wstring description_;
};

// Raised where a count or a character position leaves the 16-bit range.
inline Failure OverflowFailure() {
    return Failure(L"Overflow");
}

} // namespace dravik
