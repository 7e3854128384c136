#include "platform/installer/tests/PackageBuilder.h"

#include <archive.h>
#include <archive_entry.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform::installer::testing {

void WritePackage(const std::string& file, const std::vector<PackageItem>& items, bool gzip)
{
    archive* writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    if (gzip)
        archive_write_add_filter_gzip(writer);
    if (archive_write_open_filename(writer, file.c_str()) != ARCHIVE_OK)
        throw std::runtime_error(archive_error_string(writer));
    for (const auto& item : items) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.path.c_str());
        archive_entry_set_perm(entry, item.mode);
        switch (item.kind) {
        case PackageItem::Kind::File:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, static_cast<la_int64_t>(item.content.size()));
            break;
        case PackageItem::Kind::Sparse:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, static_cast<la_int64_t>(item.content.size()));
            archive_entry_sparse_add_entry(entry, static_cast<la_int64_t>(item.content.size()), 0);
            break;
        case PackageItem::Kind::Directory:
            archive_entry_set_filetype(entry, AE_IFDIR);
            break;
        case PackageItem::Kind::Symlink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, item.content.c_str());
            break;
        case PackageItem::Kind::HardLink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_hardlink(entry, item.content.c_str());
            break;
        case PackageItem::Kind::CharDevice:
            archive_entry_set_filetype(entry, AE_IFCHR);
            archive_entry_set_rdev(entry, makedev(1, 3));
            break;
        case PackageItem::Kind::Fifo:
            archive_entry_set_filetype(entry, AE_IFIFO);
            break;
        }
        if (archive_write_header(writer, entry) != ARCHIVE_OK)
            throw std::runtime_error(archive_error_string(writer));
        if (item.kind == PackageItem::Kind::File && !item.content.empty())
            archive_write_data(writer, item.content.data(), item.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

std::map<std::string, std::string> SnapshotTree(const std::string& root)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string relative = fs::relative(it->path(), root).string();
        struct stat info
        {
        };
        ::lstat(it->path().c_str(), &info);
        std::ostringstream described;
        described << std::oct << info.st_mode << ' ';
        if (S_ISLNK(info.st_mode)) {
            described << fs::read_symlink(it->path()).string();
        } else if (S_ISREG(info.st_mode)) {
            std::ifstream in(it->path(), std::ios::binary);
            described << in.rdbuf();
        }
        tree[relative] = described.str();
    }
    return tree;
}

} // namespace platform::installer::testing
