// Scratch folders, environment overrides and file helpers for the POSIX tests.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/PlatformServices.h"

namespace dravik::test {

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dravik-posix-XXXXXX");
        char *made = mkdtemp(pattern.data());
        if (!made)
            throw std::runtime_error("mkdtemp failed");
        path_ = std::filesystem::canonical(made);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::filesystem::path &Path() const { return path_; }
    std::string Native(const std::string &relative = "") const {
        return relative.empty() ? path_.string() : (path_ / relative).string();
    }
    // The folder as the launcher writes paths: "\"-separated below the folder.
    Text Windows(const std::wstring &relative = L"") const {
        Text base = path_.wstring();
        return relative.empty() ? base : base + L"\\" + relative;
    }

private:
    std::filesystem::path path_;
};

// Sets (or, with nullopt, removes) an environment variable for one test.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char *name, const std::optional<std::string> &value) : name_(name) {
        if (const char *old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~EnvironmentOverride() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    EnvironmentOverride(const EnvironmentOverride &) = delete;
    EnvironmentOverride &operator=(const EnvironmentOverride &) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

inline void WriteBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string ReadBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Waits until the file exists, for results written by another process.
inline bool WaitForFile(const std::string &path, std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::filesystem::exists(path);
}

} // namespace dravik::test
