#pragma once

#include "platform/installer/InstallResult.h"
#include "platform/installer/PackageArchive.h"

#include <cstddef>
#include <functional>
#include <string>

namespace platform::installer {

// Whether every planned entry can take its place below prefix: no folder is
// to be replaced by a file or the other way round (BadPackage), nothing lies
// below a link of the installation and every link of the package, resolved
// through the package's and the installation's links, stays inside it
// (UnsafeEntry), and every folder that receives something may be written
// (NoPermission). Nothing is changed.
InstallResult CheckTargets(const PackagePlan& plan, const std::string& prefix);

// Called before each file is moved (0, 1, 2, ...) and once more before the
// swap is committed; false makes that step fail.
using MoveHook = std::function<bool(size_t move)>;

// Puts the extracted tree below stagingDir into prefix (both folders lie in
// prefix): a journal is written first, then each file that is replaced gets
// a second name in backupDir and the new one is renamed over it, so that
// every file is at every instant its old or its new version. When a step
// fails, everything done is undone, in reverse order, and the old
// installation stands as it was; after a kill the next start completes the
// swap from the journal. Folders are made and opened without following
// links. Files of the old installation that the package does not hold stay.
InstallResult SwapIntoPlace(const PackagePlan& plan, const std::string& stagingDir, const std::string& prefix,
                            const std::string& backupDir, const MoveHook& beforeMove = {});

} // namespace platform::installer
