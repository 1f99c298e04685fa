// The registry services: each one call of the ANSI function of the same name on
// the current user's hive. They report through status codes and never throw.
#include <windows.h>

#include <algorithm>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"

namespace dravik {

namespace {

// Runs a service; one that cannot even get to its call answers that memory ran out.
template <typename Service> long Guarded(Service service) {
    try {
        return service();
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Opens or creates `subKey` through `call`, the one system call, given the ANSI
// path and where to put the key; `key` is 0 unless it succeeds.
template <typename Call> long KeyCall(const Text &subKey, RegKey &key, Call call) {
    key = 0;
    return Guarded([&] {
        HKEY got = nullptr;
        const LONG status = call(ToAnsi(subKey).c_str(), &got);
        if (status == ERROR_SUCCESS)
            key = reinterpret_cast<RegKey>(got);
        return status;
    });
}

class Win32Registry final : public RegistryServices {
    static HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }

public:
    long RegOpenKeyExA(const Text &subKey, std::uint32_t accessMask, RegKey &key) override {
        return KeyCall(subKey, key, [&](const char *path, HKEY *got) {
            return ::RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, static_cast<REGSAM>(accessMask),
                                   got);
        });
    }

    long RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type, Text &buffer,
                          std::uint32_t &byteCount) override {
        return Guarded([&] {
            // The system writes into bytes exactly as many as the caller's buffer
            // holds, starting with its contents; the count handed in never exceeds
            // them, so nothing past them can be written.
            std::string data = ToAnsi(buffer);
            data.resize(buffer.size(), ' ');
            DWORD count = static_cast<DWORD>(std::min<std::uint64_t>(byteCount, data.size()));
            DWORD valueType = type;
            const LONG status =
                ::RegQueryValueExA(ToHkey(key), ToAnsi(valueName).c_str(), nullptr, &valueType,
                                   reinterpret_cast<BYTE *>(&data[0]), &count);
            type = valueType;
            byteCount = count; // the value's true size when it did not fit
            buffer = FromAnsi(data);
            return status;
        });
    }

    long RegCreateKeyA(const Text &subKey, RegKey &key) override {
        return KeyCall(subKey, key, [](const char *path, HKEY *got) {
            return ::RegCreateKeyA(HKEY_CURRENT_USER, path, got);
        });
    }

    using RegistryServices::RegSetValueExA;

    long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t type, const Text &text,
                        std::uint32_t byteCount) override {
        return Guarded([&] {
            // The text and its terminating NUL; a larger count is cut to that, so no
            // byte past the data is ever read.
            std::string data = ToAnsi(text);
            data.push_back('\0');
            const auto count = static_cast<DWORD>(std::min<std::uint64_t>(byteCount, data.size()));
            return ::RegSetValueExA(ToHkey(key), ToAnsi(valueName).c_str(), 0,
                                    type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ,
                                    reinterpret_cast<const BYTE *>(data.data()), count);
        });
    }

    long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) override {
        return Guarded([&] {
            const DWORD value = number;
            return ::RegSetValueExA(ToHkey(key), ToAnsi(valueName).c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE *>(&value), sizeof value);
        });
    }

    long RegCloseKey(RegKey key) override { return ::RegCloseKey(ToHkey(key)); }

    long RegEnumKeyExA(RegKey key, std::uint32_t index, Text &name) override {
        return Guarded([&] {
            char got[256] = {}; // a key name has at most 255 characters
            DWORD length = sizeof got;
            const LONG status = ::RegEnumKeyExA(ToHkey(key), index, got, &length, nullptr, nullptr,
                                                nullptr, nullptr);
            name = status == ERROR_SUCCESS ? FromAnsi(std::string(got, length)) : Text();
            return status;
        });
    }
};

} // namespace

// One for every platform of the process: it holds nothing, its keys are the system's.
RegistryServices &Win32Platform::Registry() {
    static Win32Registry registry;
    return registry;
}

} // namespace dravik
