// What the contract suite needs beside the services themselves: a scratch
// folder it can fill with bytes and read back, and a place in the registry.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/PlatformServices.h"

namespace dravik::contract {

// How another program holds a file while the platform works on it.
enum class Holder {
    Appender,      // another launcher appending its line
    SharingReader, // a program reading that lets others read, write and delete
};

// Another program's hold on a file; it lets go when destroyed, at the latest.
class FileHold {
public:
    virtual ~FileHold() = default;
};

class Harness {
public:
    virtual ~Harness() = default;
    virtual PlatformServices &Platform() = 0;
    // A fresh, empty folder in the platform's own path form, without a trailing separator.
    virtual Text Root() = 0;
    virtual void MakeFolder(const Text &path) = 0;
    // A symbolic link at `path` to `target`; false where the system cannot make one.
    virtual bool MakeLink(const Text &path, const Text &target) = 0;
    virtual void WriteBytes(const Text &path, const std::string &bytes) = 0;
    virtual std::optional<std::string> ReadBytes(const Text &path) = 0;
    // The read-only mark: the attribute on Windows, a missing owner's write permission on POSIX.
    virtual void SetReadOnly(const Text &path) = 0;
    virtual bool IsReadOnly(const Text &path) = 0;
    // Gives both files one last-write time, to the whole second.
    virtual void SameWriteTime(const Text &path, const Text &model) = 0;
    virtual void SetEnv(const Text &name, const Text &value) = 0;
    // A registry key path below HKEY_CURRENT_USER that no earlier run has used.
    virtual Text FreshRegistryKey() = 0;
    // Another program holds the existing file as `how` says; with `letGoAfterMs`,
    // it lets go by itself once that much time has passed on ClockMs.
    virtual std::unique_ptr<FileHold> Hold(const Text &path, Holder how,
                                           std::optional<int> letGoAfterMs = std::nullopt) = 0;
    // The clock the platform's retries run on, in ms.
    virtual std::int64_t ClockMs() = 0;
    // What the platform's failure says when another program holds the file.
    virtual Text HeldFileText() = 0;
};

std::unique_ptr<Harness> MakeFakeHarness();
std::unique_ptr<Harness> MakeSystemHarness();

} // namespace dravik::contract
