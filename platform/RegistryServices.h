// The current user's registry hive, where Access reads its trusted locations.
// Reached through PlatformServices::Registry().
#pragma once

#include <cstdint>
#include <string>

namespace dravik {

using Text = std::wstring;

// Opaque handle of an open registry key; 0 is "no key".
using RegKey = std::uintptr_t;

// Registry status codes and value types (the Win32 values), for every registry there is.
constexpr long kRegSuccess = 0;
constexpr long kRegFileNotFound = 2;
constexpr long kRegAccessDenied = 5;
constexpr long kRegInvalidHandle = 6;
constexpr long kRegMoreData = 234;
constexpr long kRegNoMoreItems = 259;
constexpr long kRegIoFailed = 1016;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2; // a string with %NAME% to expand
constexpr std::uint32_t kRegDword = 4;
// Read access alone (KEY_READ): all a standard user has on the Policies keys.
constexpr std::uint32_t kRegKeyRead = 0x20019;

class RegistryServices {
public:
    virtual ~RegistryServices() = default;

    // Each is one call of the Win32 function of the same name and never raises.
    virtual long RegOpenKeyExA(const Text &subKey, std::uint32_t accessMask, RegKey &key) = 0;
    // Reads a value into `buffer` (one character per byte, at most buffer.size() of them).
    // `byteCount` goes in as the buffer's size and comes out as the value's true size,
    // which may exceed what the buffer holds.
    virtual long RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type,
                                  Text &buffer, std::uint32_t &byteCount) = 0;
    virtual long RegCreateKeyA(const Text &subKey, RegKey &key) = 0;
    // Stores a string of `type` (REG_SZ or REG_EXPAND_SZ) with exactly `byteCount` bytes
    // of `text` (a NUL past its end counts).
    virtual long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t type,
                                const Text &text, std::uint32_t byteCount) = 0;
    long RegSetValueExA(RegKey key, const Text &valueName, const Text &text,
                        std::uint32_t byteCount) {
        return RegSetValueExA(key, valueName, kRegSz, text, byteCount);
    }
    // Stores REG_DWORD.
    virtual long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) = 0;
    virtual long RegCloseKey(RegKey key) = 0;
    // The name of the `index`-th subkey of `key`, in the order of the names ignoring
    // case; kRegNoMoreItems past the last one.
    virtual long RegEnumKeyExA(RegKey key, std::uint32_t index, Text &name) = 0;
};

// A key opened or created for as long as this lives: closed when it goes, and
// before it is opened or created again.
class ScopedRegKey {
public:
    explicit ScopedRegKey(RegistryServices &registry) : registry_(registry) {}
    ~ScopedRegKey() { Release(); }
    ScopedRegKey(const ScopedRegKey &) = delete; // one close for every key

    // The status of the one call; a key is held only when it is kRegSuccess.
    long Open(const Text &subKey, std::uint32_t accessMask) {
        Release();
        return registry_.RegOpenKeyExA(subKey, accessMask, key_);
    }
    long Create(const Text &subKey) {
        Release();
        return registry_.RegCreateKeyA(subKey, key_);
    }
    RegKey Get() const { return key_; }

private:
    void Release() {
        if (key_ != 0)
            registry_.RegCloseKey(key_);
        key_ = 0;
    }

    RegistryServices &registry_;
    RegKey key_ = 0;
};

} // namespace dravik
