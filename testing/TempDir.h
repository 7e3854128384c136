#pragma once

#include <filesystem>
#include <string>

namespace velt::testing {

// A fresh folder (mode 0700) under the temporary directory, removed with
// everything in it when the object goes.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // A path inside the folder (not created).
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace velt::testing
