#pragma once

#include "platform/installer/InstallResult.h"
#include "platform/installer/PackageEntry.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::installer {

// What a package will put into the installation folder, from a first pass
// over the archive in which nothing is written.
struct PackagePlan
{
    struct Item
    {
        std::vector<std::string> parts; // below the installation folder
        PackageEntry::Type type = PackageEntry::Type::File;
        uint32_t mode = 0;
        uint64_t size = 0;
        std::string linkTarget;
    };

    std::vector<Item> items;
    // The package's one top-level folder, left out of every item's path.
    std::optional<std::string> topFolder;
    uint64_t totalSize = 0;
};

struct PackageLimits
{
    uint64_t maxUnpackedBytes = 1024ull * 1024 * 1024;
    uint64_t maxEntries = 100000;
};

// Reads a package (a tar archive, gzip-compressed or not, whatever its file
// name) and checks every entry before anything is written. A package with one
// top-level folder is taken as the tree inside it. Fails with BadPackage for
// an unrecognised or damaged file, UnsafeEntry for a refused entry, TooLarge
// beyond the limits, Cancelled when `cancel` becomes true.
InstallResult ScanPackage(const std::string& file, const PackageLimits& limits, PackagePlan& plan,
                          const std::atomic<bool>& cancel);

// Writes the planned entries below `stagingDir` (an empty folder). Fails with
// WriteFailed when the disk is full or a file cannot be written; the caller
// removes the folder.
InstallResult ExtractPackage(const std::string& file, const PackagePlan& plan, const std::string& stagingDir,
                             const std::atomic<bool>& cancel);

// "a/b/c" from the components.
std::string JoinParts(const std::vector<std::string>& parts);

} // namespace platform::installer
