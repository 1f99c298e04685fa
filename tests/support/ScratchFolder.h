// A fresh folder under the temporary folder for one test, removed with
// everything in it.
#pragma once

#include <filesystem>
#include <string>

namespace dravik::test {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::filesystem::path &Path() const { return path_; }
    // A path below the folder, as the system writes it.
    std::string Native(const std::string &relative = "") const;
    // A path below the folder as the launcher writes paths: "\"-separated.
    std::wstring Windows(const std::wstring &relative = L"") const;

private:
    std::filesystem::path path_;
};

} // namespace dravik::test
