// The registry services: each one call of the ANSI function of the same name on
// the current user's hive. They report through status codes and never throw.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

namespace {

HKEY ToHkey(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}
RegKey FromHkey(HKEY key) {
    return reinterpret_cast<RegKey>(key);
}

// What a registry service answers when it cannot even get to the call.
constexpr long kOutOfMemory = ERROR_NOT_ENOUGH_MEMORY;

class Win32Registry final : public RegistryServices {
public:
    long RegOpenKeyExA(const Text &subKey, std::uint32_t accessMask, RegKey &key) override;
    long RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type, Text &buffer,
                          std::uint32_t &byteCount) override;
    long RegCreateKeyA(const Text &subKey, RegKey &key) override;
    long RegSetValueExA(RegKey key, const Text &valueName, const Text &text,
                        std::uint32_t byteCount) override;
    long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) override;
    long RegCloseKey(RegKey key) override;
};

long Win32Registry::RegOpenKeyExA(const Text &subKey, std::uint32_t accessMask, RegKey &key) {
    try {
        HKEY opened = nullptr;
        const LONG status = ::RegOpenKeyExA(HKEY_CURRENT_USER, ToAnsi(subKey).c_str(), 0,
                                            static_cast<REGSAM>(accessMask), &opened);
        key = status == ERROR_SUCCESS ? FromHkey(opened) : 0;
        return status;
    } catch (...) {
        key = 0;
        return kOutOfMemory;
    }
}

long Win32Registry::RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type,
                                     Text &buffer, std::uint32_t &byteCount) {
    try {
        // The system writes into a byte array exactly as large as the caller's
        // buffer and starting with its contents; the count handed in never
        // exceeds that array, so nothing past it can be written.
        const std::size_t size = buffer.size();
        std::string bytes = ToAnsi(buffer);
        bytes.resize(size, ' ');
        std::vector<BYTE> data(bytes.begin(), bytes.end());
        data.push_back(0); // keeps data() valid for an empty buffer; never offered to the call

        DWORD count = static_cast<DWORD>(std::min<std::uint64_t>(byteCount, size));
        DWORD valueType = type;
        const LONG status = ::RegQueryValueExA(ToHkey(key), ToAnsi(valueName).c_str(), nullptr,
                                               &valueType, data.data(), &count);
        type = valueType;
        byteCount = count; // the value's true size when it did not fit
        buffer =
            FromAnsi(std::string(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size)));
        return status;
    } catch (...) {
        return kOutOfMemory;
    }
}

long Win32Registry::RegCreateKeyA(const Text &subKey, RegKey &key) {
    try {
        HKEY created = nullptr;
        const LONG status = ::RegCreateKeyA(HKEY_CURRENT_USER, ToAnsi(subKey).c_str(), &created);
        key = status == ERROR_SUCCESS ? FromHkey(created) : 0;
        return status;
    } catch (...) {
        key = 0;
        return kOutOfMemory;
    }
}

long Win32Registry::RegSetValueExA(RegKey key, const Text &valueName, const Text &text,
                                   std::uint32_t byteCount) {
    try {
        // The text and its terminating NUL; a larger count is cut to that, so no
        // byte past the data is ever read.
        std::string data = ToAnsi(text);
        data.push_back('\0');
        const DWORD count = static_cast<DWORD>(std::min<std::uint64_t>(byteCount, data.size()));
        return ::RegSetValueExA(ToHkey(key), ToAnsi(valueName).c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE *>(data.data()), count);
    } catch (...) {
        return kOutOfMemory;
    }
}

long Win32Registry::RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) {
    try {
        const DWORD value = number;
        return ::RegSetValueExA(ToHkey(key), ToAnsi(valueName).c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE *>(&value), sizeof value);
    } catch (...) {
        return kOutOfMemory;
    }
}

long Win32Registry::RegCloseKey(RegKey key) {
    return ::RegCloseKey(ToHkey(key));
}

} // namespace

// One for every platform of the process: it holds nothing, its keys are the system's.
RegistryServices &Win32Platform::Registry() {
    static Win32Registry registry;
    return registry;
}

} // namespace dravik
