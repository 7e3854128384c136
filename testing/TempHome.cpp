#include "testing/TempHome.h"

#include <stdexcept>
#include <sys/stat.h>

namespace velt::testing {

TempHome::TempHome()
{
    const std::pair<const char*, std::filesystem::path> folders[] = {
        {"HOME", home()},
        {"XDG_CONFIG_HOME", configHome()},
        {"XDG_DATA_HOME", dataHome()},
        {"XDG_RUNTIME_DIR", runtimeDir()},
    };
    for (const auto& [name, path] : folders) {
        if (mkdir(path.c_str(), 0700) != 0)
            throw std::runtime_error("cannot create " + path.string());
        m_env.push_back(std::make_unique<ScopedEnv>(name, path.string()));
    }
}

// Restore the variables before the folders are removed.
TempHome::~TempHome()
{
    while (!m_env.empty())
        m_env.pop_back();
}

} // namespace velt::testing
