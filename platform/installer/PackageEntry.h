#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::installer {

// One entry of a package as its archive describes it, before it is trusted.
struct PackageEntry
{
    enum class Type { File, Directory, Symlink, HardLink, Other };

    std::string path; // as stored in the archive
    Type type = Type::Other;
    uint32_t mode = 0; // permission and set-id bits
    uint64_t size = 0;
    std::string linkTarget; // symbolic links
};

// The path split into its components: "./" and empty components dropped, a
// trailing "/" ignored. Nothing when the path is empty, absolute or has a
// ".." component.
std::optional<std::vector<std::string>> SplitEntryPath(std::string_view path);

// Why an entry must not be installed (German), or nothing when it may. Refused:
// absolute paths and "..", devices, FIFOs, sockets and hard links, set-user-id
// and set-group-id bits, and symbolic links whose target is absolute or leads
// above the installation folder from where the link stands.
std::optional<std::string> CheckEntry(const PackageEntry& entry);

// Whether a relative link target, seen from the folder `linkDir` (components
// below the installation folder), stays inside the installation folder.
bool LinkStaysInside(const std::vector<std::string>& linkDir, std::string_view target);

// The one top-level folder of a package made from an installed tree
// ("tarnwick-1.4.44-Linux/"): when every path starts with the same folder
// and that folder is not one of an installation's own folders (bin, lib,
// share, ...), its name; else nothing.
std::optional<std::string> CommonTopFolder(const std::vector<std::vector<std::string>>& paths);

} // namespace platform::installer
