#pragma once

#include "platform/installer/InstallResult.h"
#include "platform/installer/PackageArchive.h"

#include <cstddef>
#include <functional>
#include <string>

namespace platform::installer {

// Whether every planned entry can take its place below prefix: no folder is
// to be replaced by a file or the other way round (BadPackage), and every
// folder that receives something may be written (NoPermission). Nothing is
// changed.
InstallResult CheckTargets(const PackagePlan& plan, const std::string& prefix);

// Called before each file is moved (0, 1, 2, ...); false makes that move fail.
using MoveHook = std::function<bool(size_t move)>;

// Puts the extracted tree below stagingDir into prefix: each file that is
// replaced goes into backupDir first, then the new one is renamed into its
// place (one file system, so every step is a rename). When any step fails,
// everything done is undone from backupDir, in reverse order, and the old
// installation stands as it was. Files of the old installation that the
// package does not hold stay.
InstallResult SwapIntoPlace(const PackagePlan& plan, const std::string& stagingDir, const std::string& prefix,
                            const std::string& backupDir, const MoveHook& beforeMove = {});

} // namespace platform::installer
