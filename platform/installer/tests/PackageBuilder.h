#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform::installer::testing {

// Writes packages as the publishing script does (tar, gzip), and hostile
// ones, for the tests.
struct PackageItem
{
    // Sparse: a file of content.size() bytes made only of holes.
    enum class Kind { File, Directory, Symlink, HardLink, CharDevice, Fifo, Sparse };
    std::string path;
    Kind kind = Kind::File;
    std::string content; // file content, or the target of a link
    uint32_t mode = 0644;
};

// Throws std::runtime_error when the archive cannot be written.
void WritePackage(const std::string& file, const std::vector<PackageItem>& items, bool gzip = true);

// Every file, folder and link below root: relative path -> kind, mode and
// content (or link target), to compare a tree before and after.
std::map<std::string, std::string> SnapshotTree(const std::string& root);

} // namespace platform::installer::testing
