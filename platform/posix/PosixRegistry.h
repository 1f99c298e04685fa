// The current user's registry hive kept as a folder tree, so that what the
// launcher registers survives from one start to the next as it does on Windows.
//
// Layout under the hive's folder: every key is a folder named after the key with
// ".key" appended; every value is a file named after the value with ".value"
// appended, holding its type as a decimal number on the first line and then its
// raw bytes. In names "%" and "/" (and control characters) are written as "%XX".
// Key and value names are found without regard to letter case.
#pragma once

#include <map>
#include <string>

#include "platform/RegistryServices.h"

namespace dravik {

class PosixRegistry final : public RegistryServices {
public:
    // $DRAVIKVT_REGISTRY, else $XDG_CONFIG_HOME/DravikVT/registry, else
    // $HOME/.config/DravikVT/registry; read at every open or create.
    static std::string HiveFolder();

    long RegOpenKeyExA(const Text &subKey, std::uint32_t accessMask, RegKey &key) override;
    long RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type, Text &buffer,
                          std::uint32_t &byteCount) override;
    long RegCreateKeyA(const Text &subKey, RegKey &key) override;
    using RegistryServices::RegSetValueExA;
    long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t type, const Text &text,
                        std::uint32_t byteCount) override;
    long RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) override;
    long RegCloseKey(RegKey key) override;
    long RegEnumKeyExA(RegKey key, std::uint32_t index, Text &name) override;

private:
    long OpenOrCreate(const Text &subKey, bool create, RegKey &key);
    long StoreValue(RegKey key, const Text &valueName, std::uint32_t type, const std::string &data);
    const std::string *FolderOf(RegKey key) const;

    std::map<RegKey, std::string> openKeys_; // handle -> the key's folder
    RegKey nextHandle_ = 1;
};

} // namespace dravik
