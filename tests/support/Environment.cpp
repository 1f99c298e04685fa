#include "tests/support/Environment.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

#include "tests/support/TestText.h"

namespace dravik::test {

namespace {

#ifdef _WIN32
std::wstring Wide(const std::string &utf8) {
    if (utf8.empty())
        return std::wstring();
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], size);
    return text;
}
#endif

void Put(const std::string &name, const std::optional<std::string> &value) {
#ifdef _WIN32
    const std::wstring wideName = Wide(name);
    const std::wstring wideValue = value ? Wide(*value) : std::wstring();
    ::SetEnvironmentVariableW(wideName.c_str(), value ? wideValue.c_str() : nullptr);
    // The C library keeps a copy of its own, which its getenv reads.
    _wputenv_s(wideName.c_str(), wideValue.c_str());
#else
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
#endif
}

} // namespace

void SetEnvironment(const std::wstring &name, const std::wstring &value) {
    Put(Utf8(name), Utf8(value));
}

EnvironmentOverride::EnvironmentOverride(const std::string &name,
                                         const std::optional<std::string> &value)
    : name_(name) {
    if (const char *old = std::getenv(name.c_str()))
        old_ = old;
    Put(name, value);
}

EnvironmentOverride::~EnvironmentOverride() {
    Put(name_, old_);
}

} // namespace dravik::test
