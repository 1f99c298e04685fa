// Files as bytes, for setting scenes up and reading back what was written.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace dravik::test {

// The file's bytes; nullopt when it is not an ordinary file that can be read.
std::optional<std::string> ReadBytes(const std::filesystem::path &path);
// Writes the file anew; throws when it cannot.
void WriteBytes(const std::filesystem::path &path, const std::string &bytes);

// Bytes that are not text: every value, NULs and line ends included, so that a
// copy that changed them in any way is seen.
std::string Pattern(std::size_t size, unsigned seed);

// Waits until the file exists, for results another process writes.
bool WaitForFile(const std::filesystem::path &path, std::chrono::milliseconds limit);

} // namespace dravik::test
