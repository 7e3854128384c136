#pragma once

#include <optional>
#include <string>

namespace velt::testing {

// Sets (or, with no value, removes) one environment variable and restores
// the previous state when it goes. Not for use while other threads read the
// environment.
class ScopedEnv
{
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

} // namespace velt::testing
