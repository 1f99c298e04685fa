// Program folder, clock, environment, keyboard and letter case on POSIX.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <locale.h>
#include <unistd.h>

#include "platform/common/CaseMapping.h"
#include "platform/common/TextSplit.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PosixText.h"

namespace dravik {

namespace {

std::tm LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// The locale the user chose for dates and times, by the usual precedence; "" when
// none is set or it is the plain C locale, which knows no national formats.
std::string UserTimeLocaleName() {
    for (const char *variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value && *value) {
            std::string name = value;
            if (name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0)
                return "";
            return name;
        }
    }
    return "";
}

// The time formatted by the user's locale, or "" when that locale is not installed.
Text LocaleFormat(const wchar_t *format, const std::tm &when) {
    std::string name = UserTimeLocaleName();
    if (name.empty())
        return L"";
    locale_t userLocale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name.c_str(), locale_t{});
    if (userLocale == locale_t{})
        return L"";
    locale_t previous = uselocale(userLocale);
    wchar_t buffer[128];
    std::size_t length = std::wcsftime(buffer, 128, format, &when);
    uselocale(previous);
    freelocale(userLocale);
    return Text(buffer, length);
}

} // namespace

Text PosixPlatform::ProgramFolderPath() {
    std::string exe(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", exe.data(), exe.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= exe.size()) {
        // Without /proc the current folder is the best guess there is.
        char *current = getcwd(nullptr, 0);
        Text folder = current ? TextFromUtf8(current) : L".";
        std::free(current);
        return folder;
    }
    exe.resize(static_cast<std::size_t>(length));
    std::size_t cut = exe.find_last_of('/');
    if (cut == std::string::npos)
        return L".";
    return cut == 0 ? L"/" : TextFromUtf8(exe.substr(0, cut));
}

Text PosixPlatform::GetEnvVar(const Text &name) {
    return EnvironmentValue(name);
}

// The locale's %x and %X when the user's locale is installed; otherwise the short
// date and long time of a Croatian Windows: "08.12.2026." and "9:05:03".
Text PosixPlatform::DateText() {
    std::tm now = LocalNow();
    Text text = LocaleFormat(L"%x", now);
    if (!text.empty())
        return text;
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"%02d.%02d.%04d.", now.tm_mday, now.tm_mon + 1, now.tm_year + 1900);
    return buffer;
}

Text PosixPlatform::TimeText() {
    std::tm now = LocalNow();
    Text text = LocaleFormat(L"%X", now);
    if (!text.empty())
        return text;
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"%d:%02d:%02d", now.tm_hour, now.tm_min, now.tm_sec);
    return buffer;
}

// A terminal cannot tell whether a key is held, so the keys "held" at start come
// from DRAVIKVT_HELD_KEYS: names (ctrl, control, shift) or key codes, separated by
// commas, spaces, "+" or ";".
bool PosixPlatform::IsKeyDown(int virtualKey) {
    for (const Text &key :
         SplitAtAny(LowerText(EnvironmentValue(L"DRAVIKVT_HELD_KEYS")), L", +;\t")) {
        int code = -1;
        if (key == L"ctrl" || key == L"control")
            code = kVkControl;
        else if (key == L"shift")
            code = kVkShift;
        else if (!key.empty() && key.find_first_not_of(L"0123456789") == Text::npos &&
                 key.size() < 6)
            code = std::stoi(key);
        if (code == virtualKey)
            return true;
    }
    return false;
}

void PosixPlatform::SleepMilliseconds(int milliseconds) {
    if (milliseconds <= 0)
        return;
    timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    RetryOnInterrupt([&] { return nanosleep(&wait, &wait); });
}

void PosixPlatform::EndProgram(int exitCode) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

Text PosixPlatform::ToUpper(const Text &text) {
    return UpperText(text);
}
Text PosixPlatform::ToLower(const Text &text) {
    return LowerText(text);
}

} // namespace dravik
