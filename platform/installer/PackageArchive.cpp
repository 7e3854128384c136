#include "platform/installer/PackageArchive.h"

#include "platform/installer/FolderWalk.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::installer {

namespace {

using ArchivePtr = std::unique_ptr<archive, decltype(&archive_read_free)>;

InstallResult Failed(InstallFailure failure, std::string text)
{
    const uint32_t code = failure == InstallFailure::Cancelled ? ERROR_INSTALL_USEREXIT : ERROR_INSTALL_FAILURE;
    return {code, failure, std::move(text)};
}

InstallResult Damaged(archive* reader)
{
    const char* detail = archive_error_string(reader);
    return Failed(InstallFailure::BadPackage,
                  std::string("Die Setupdatei ist beschädigt oder kein gültiges Paket")
                      + (detail ? std::string(" (") + detail + ")" : std::string()) + ".");
}

ArchivePtr OpenPackage(const std::string& file, bool& opened)
{
    ArchivePtr reader(archive_read_new(), &archive_read_free);
    opened = false;
    if (!reader)
        return reader;
    // Only what CPack's TGZ makes: a tar stream, gzip-compressed or plain.
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_format_tar(reader.get());
    opened = archive_read_open_filename(reader.get(), file.c_str(), 64 * 1024) == ARCHIVE_OK;
    return reader;
}

PackageEntry::Type TypeOf(archive_entry* entry)
{
    if (archive_entry_hardlink(entry))
        return PackageEntry::Type::HardLink;
    switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
        return PackageEntry::Type::File;
    case AE_IFDIR:
        return PackageEntry::Type::Directory;
    case AE_IFLNK:
        return PackageEntry::Type::Symlink;
    default:
        return PackageEntry::Type::Other;
    }
}

PackageEntry Describe(archive_entry* entry)
{
    PackageEntry described;
    const char* path = archive_entry_pathname(entry);
    described.path = path ? path : "";
    described.type = TypeOf(entry);
    described.mode = static_cast<uint32_t>(archive_entry_mode(entry)) & 07777;
    described.size = archive_entry_size_is_set(entry) ? static_cast<uint64_t>(archive_entry_size(entry)) : 0;
    const char* target = archive_entry_symlink(entry);
    described.linkTarget = target ? target : "";
    return described;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string WriteFailureText(const std::string& path, int error)
{
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        return "Nicht genügend Speicherplatz zum Entpacken von " + EscapedName(path) + ".";
    return "Die Datei " + EscapedName(path) + " konnte nicht geschrieben werden: " + std::strerror(error);
}

// The user's umask, read without changing it (other threads may create files).
mode_t UserUmask()
{
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask);
    }
    return 022;
}

} // namespace

std::string JoinParts(const std::vector<std::string>& parts)
{
    std::string joined;
    for (const auto& part : parts) {
        if (!joined.empty())
            joined += '/';
        joined += part;
    }
    return joined;
}

InstallResult ScanPackage(const std::string& file, const PackageLimits& limits, PackagePlan& plan,
                          const std::atomic<bool>& cancel)
{
    plan = {};
    bool opened = false;
    ArchivePtr reader = OpenPackage(file, opened);
    if (!reader || !opened)
        return reader ? Damaged(reader.get()) : Failed(InstallFailure::BadPackage, "Kein Speicher.");

    std::vector<PackageEntry> entries;
    std::vector<std::vector<std::string>> paths;
    uint64_t total = 0;
    for (;;) {
        if (cancel.load())
            return Failed(InstallFailure::Cancelled, "Abgebrochen.");
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return Damaged(reader.get());
        PackageEntry described = Describe(entry);
        if (auto refusal = CheckEntry(described))
            return Failed(InstallFailure::UnsafeEntry, *refusal);
        if (entries.size() >= limits.maxEntries)
            return Failed(InstallFailure::TooLarge, "Das Paket enthält zu viele Einträge.");
        if (described.type == PackageEntry::Type::File) {
            total += described.size;
            if (described.size > limits.maxUnpackedBytes || total > limits.maxUnpackedBytes)
                return Failed(InstallFailure::TooLarge, "Das entpackte Paket wäre größer als erlaubt.");
        }
        // Reading through the data finds a damaged stream before anything is written.
        if (archive_read_data_skip(reader.get()) != ARCHIVE_OK)
            return Damaged(reader.get());
        paths.push_back(*SplitEntryPath(described.path));
        entries.push_back(std::move(described));
    }
    if (entries.empty())
        return Failed(InstallFailure::BadPackage, "Die Setupdatei enthält keine Dateien.");

    const auto top = CommonTopFolder(paths);
    std::map<std::string, PackageEntry::Type> seen;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::vector<std::string> parts = paths[i];
        if (top && !parts.empty())
            parts.erase(parts.begin());
        if (parts.empty()) {
            if (entries[i].type != PackageEntry::Type::Directory)
                return Failed(InstallFailure::UnsafeEntry,
                              "Das Paket enthält einen unzulässigen Pfad: " + EscapedName(entries[i].path));
            continue;
        }
        const std::string joined = JoinParts(parts);
        if (!seen.emplace(joined, entries[i].type).second)
            return Failed(InstallFailure::UnsafeEntry,
                          "Das Paket enthält einen Eintrag doppelt: " + EscapedName(entries[i].path));
        // Nothing may lie below a file or a link of the package: a link as a
        // folder could lead the files behind it anywhere.
        std::string above;
        for (size_t k = 0; k + 1 < parts.size(); ++k) {
            above = above.empty() ? parts[k] : above + "/" + parts[k];
            const auto found = seen.find(above);
            if (found != seen.end() && found->second != PackageEntry::Type::Directory)
                return Failed(InstallFailure::UnsafeEntry,
                              "Das Paket enthält einen Eintrag unterhalb einer Datei oder Verknüpfung: "
                                  + EscapedName(entries[i].path));
        }
        plan.items.push_back(
            {std::move(parts), entries[i].type, entries[i].mode, entries[i].size, entries[i].linkTarget});
    }
    // The program's tree at the root or below the one top folder; anything
    // else (two top folders, a stray file) would land beside the programs.
    bool holdsProgram = false;
    for (const auto& item : plan.items)
        holdsProgram = holdsProgram
            || (item.type == PackageEntry::Type::File && item.parts == std::vector<std::string> {"bin", "tarnwick"});
    if (!holdsProgram)
        return Failed(InstallFailure::BadPackage,
                      "Die Setupdatei enthält kein Programm bin/tarnwick (oder mehr als einen obersten Ordner).");
    plan.topFolder = top;
    plan.totalSize = total;
    return {};
}

InstallResult ExtractPackage(const std::string& file, const PackagePlan& plan, const std::string& stagingDir,
                             const std::atomic<bool>& cancel)
{
    bool opened = false;
    ArchivePtr reader = OpenPackage(file, opened);
    if (!reader || !opened)
        return reader ? Damaged(reader.get()) : Failed(InstallFailure::BadPackage, "Kein Speicher.");

    // The plan holds the entries in archive order, without the top folder's own entry.
    size_t next = 0;
    std::vector<char> buffer(64 * 1024);
    // Never writable by group or others, whatever the package says.
    const mode_t modeMask = 0777 & ~(UserUmask() | 022);
    for (;;) {
        if (cancel.load())
            return Failed(InstallFailure::Cancelled, "Abgebrochen.");
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return Damaged(reader.get());
        const PackageEntry described = Describe(entry);
        auto parts = SplitEntryPath(described.path);
        if (!parts)
            return Failed(InstallFailure::UnsafeEntry,
                          "Das Paket enthält einen unzulässigen Pfad: " + EscapedName(described.path));
        if (plan.topFolder && !parts->empty())
            parts->erase(parts->begin());
        if (parts->empty())
            continue;
        if (next >= plan.items.size() || plan.items[next].parts != *parts)
            return Failed(InstallFailure::BadPackage, "Die Setupdatei hat sich während der Installation verändert.");
        const PackagePlan::Item& item = plan.items[next++];
        if (item.type != described.type)
            return Failed(InstallFailure::BadPackage, "Die Setupdatei hat sich während der Installation verändert.");
        const std::string target = stagingDir + "/" + JoinParts(item.parts);
        if (item.type == PackageEntry::Type::Directory) {
            if (::mkdir(target.c_str(), 0755) != 0 && errno != EEXIST)
                return Failed(InstallFailure::WriteFailed, WriteFailureText(target, errno));
            continue;
        }
        // Folders that the package does not list itself.
        std::string folder = stagingDir;
        for (size_t k = 0; k + 1 < item.parts.size(); ++k) {
            folder += "/" + item.parts[k];
            if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
                return Failed(InstallFailure::WriteFailed, WriteFailureText(folder, errno));
        }
        if (item.type == PackageEntry::Type::Symlink) {
            if (::symlink(item.linkTarget.c_str(), target.c_str()) != 0)
                return Failed(InstallFailure::WriteFailed, WriteFailureText(target, errno));
            continue;
        }
        const mode_t mode = static_cast<mode_t>(item.mode) & modeMask;
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0)
            return Failed(InstallFailure::WriteFailed, WriteFailureText(target, errno));
        uint64_t written = 0;
        int error = 0;
        bool damaged = false;
        for (;;) {
            const la_ssize_t count = archive_read_data(reader.get(), buffer.data(), buffer.size());
            if (count == 0)
                break;
            if (count < 0) {
                damaged = true;
                break;
            }
            written += static_cast<uint64_t>(count);
            if (written > item.size) {
                damaged = true;
                break;
            }
            if (!WriteAll(fd, buffer.data(), static_cast<size_t>(count))) {
                error = errno;
                break;
            }
            if (cancel.load())
                break;
        }
        // A sparse or short entry must still come out at its declared size.
        const bool incomplete = !error && !damaged && !cancel.load() && written != item.size;
        if (::fchmod(fd, mode) != 0 && !error)
            error = errno;
        // On the disk before the journal names it.
        if (!error && ::fsync(fd) != 0)
            error = errno;
        if (::close(fd) != 0 && !error)
            error = errno;
        if (damaged)
            return Damaged(reader.get());
        if (incomplete)
            return Failed(InstallFailure::BadPackage,
                          "Die Datei " + EscapedName(JoinParts(item.parts))
                              + " ist im Paket unvollständig; die Setupdatei ist beschädigt.");
        if (error)
            return Failed(InstallFailure::WriteFailed, WriteFailureText(target, error));
    }
    if (next != plan.items.size())
        return Failed(InstallFailure::BadPackage, "Die Setupdatei hat sich während der Installation verändert.");
    return {};
}

} // namespace platform::installer
