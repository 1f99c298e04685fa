// Environment variables set for a test.
#pragma once

#include <optional>
#include <string>

namespace dravik::test {

void SetEnvironment(const std::wstring &name, const std::wstring &value);

// Sets (or, with nullopt, removes) an environment variable for one test, given
// as UTF-8 bytes (on POSIX exactly these bytes), and puts it back afterwards.
class EnvironmentOverride {
public:
    EnvironmentOverride(const std::string &name, const std::optional<std::string> &value);
    ~EnvironmentOverride();
    EnvironmentOverride(const EnvironmentOverride &) = delete;
    EnvironmentOverride &operator=(const EnvironmentOverride &) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace dravik::test
