#pragma once

#include <string>

namespace platform::installer {

// Whether the system's package manager lists the file as one of its
// packages' files (dpkg-query -S). False when no package manager is there.
bool IsOwnedByPackageManager(const std::string& path);

// Whether the installation under prefix came from a system package: its
// programs (bin/kestrup, bin/tarnwick) are listed by the package manager.
bool IsPrefixOwnedByPackageManager(const std::string& prefix);

} // namespace platform::installer
