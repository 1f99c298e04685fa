// Text of the tests: UTF-8 for their output and logs, and the data every suite
// shares.
#pragma once

#include <functional>
#include <string>

namespace dravik::test {

// Program text as UTF-8, for a test's output or a log file.
std::string Utf8(const std::wstring &text);

// The computer and user every scene runs as: "pc07" and "Ana".
inline const std::wstring kUserKey = L"PC07_ana";

// Fills all 100 trusted-location slots with other folders: `take(slot, folder)`.
void TakeEveryTrustedLocationSlot(const std::function<void(int, const std::wstring &)> &take);

} // namespace dravik::test
