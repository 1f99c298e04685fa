// What the contract suite needs beside the services themselves: a scratch
// folder it can fill with bytes and read back, and a place in the registry.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/PlatformServices.h"

namespace dravik::contract {

class Harness {
public:
    virtual ~Harness() = default;
    virtual PlatformServices &Platform() = 0;
    // A fresh, empty folder in the platform's own path form, without a trailing separator.
    virtual Text Root() = 0;
    virtual void MakeFolder(const Text &path) = 0;
    virtual void WriteBytes(const Text &path, const std::string &bytes) = 0;
    virtual std::optional<std::string> ReadBytes(const Text &path) = 0;
    // The read-only mark: the attribute on Windows, a missing owner's write permission on POSIX.
    virtual void SetReadOnly(const Text &path) = 0;
    virtual bool IsReadOnly(const Text &path) = 0;
    virtual void SetEnv(const Text &name, const Text &value) = 0;
    // A registry key path below HKEY_CURRENT_USER that no earlier run has used.
    virtual Text FreshRegistryKey() = 0;
};

std::unique_ptr<Harness> MakeFakeHarness();
std::unique_ptr<Harness> MakeSystemHarness();

} // namespace dravik::contract
