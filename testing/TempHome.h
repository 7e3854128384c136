#pragma once

#include "testing/ScopedEnv.h"
#include "testing/TempDir.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace velt::testing {

// Points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR at fresh
// folders (mode 0700) for the life of the object, so that a test never reads
// or writes the real user's files.
class TempHome
{
public:
    TempHome();
    ~TempHome();

    std::filesystem::path home() const { return m_dir.path() / "home"; }
    std::filesystem::path configHome() const { return m_dir.path() / "config"; }
    std::filesystem::path dataHome() const { return m_dir.path() / "data"; }
    std::filesystem::path runtimeDir() const { return m_dir.path() / "runtime"; }

private:
    TempDir m_dir;
    std::vector<std::unique_ptr<ScopedEnv>> m_env;
};

} // namespace velt::testing
