#include "platform/posix/PosixText.h"

#include <cstdlib>
#include <cstring>

#include "platform/common/CaseMapping.h"

extern char **environ;

namespace dravik {

Text EnvironmentValue(const Text &name) {
    if (name.empty() || name.find(L'=') != Text::npos)
        return L"";
    std::string wanted = Utf8FromText(name);
    if (const char *exact = std::getenv(wanted.c_str()))
        return TextFromUtf8(exact);
    for (char **entry = environ; entry && *entry; ++entry) {
        const char *equals = std::strchr(*entry, '=');
        if (!equals)
            continue;
        Text entryName =
            TextFromUtf8(std::string(*entry, static_cast<std::size_t>(equals - *entry)));
        if (SameNameIgnoringCase(entryName, name))
            return TextFromUtf8(equals + 1);
    }
    return L"";
}

SingleByteCodePage ActiveCodePage() {
    return EnvironmentValue(L"DRAVIKVT_CODEPAGE") == L"1252" ? SingleByteCodePage::Windows1252
                                                             : SingleByteCodePage::Windows1250;
}

} // namespace dravik
