#include "platform/registry/HiveFile.h"

#include "platform/registry/HiveFormat.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/FileLock.h"
#include "platform/system/XdgPaths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::registry {

namespace {

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string FolderOf(const std::string& path)
{
    std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Renames without ever replacing an existing file.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: link fails on an existing name too.
    if (link(from.c_str(), to.c_str()) != 0)
        return false;
    unlink(from.c_str());
    return true;
}

} // namespace

bool HiveFile::Signature::operator==(const Signature& other) const
{
    if (exists != other.exists)
        return false;
    return !exists
        || (device == other.device && inode == other.inode && size == other.size && SameTime(modified, other.modified)
            && SameTime(changed, other.changed));
}

HiveFile::HiveFile(std::string path)
    : m_path(std::move(path))
    , m_root(std::make_unique<HiveKey>())
{
}

HiveFile::Signature HiveFile::Signature::of(const struct stat& info)
{
    Signature signature;
    signature.exists = true;
    signature.device = info.st_dev;
    signature.inode = info.st_ino;
    signature.size = info.st_size;
    signature.modified = info.st_mtim;
    signature.changed = info.st_ctim;
    return signature;
}

HiveFile::Signature HiveFile::signatureOnDisk() const
{
    struct stat info = {};
    return stat(m_path.c_str(), &info) == 0 ? Signature::of(info) : Signature();
}

const HiveKey& HiveFile::current()
{
    Signature onDisk = signatureOnDisk();
    if (m_loaded && onDisk == m_signature)
        return *m_root;
    auto root = std::make_unique<HiveKey>();
    Signature signature;
    bool unreadable = load(*root, signature, false) == LoadResult::Unreadable;
    m_root = std::move(root);
    m_signature = signature;
    // An unreadable file is looked at again on the next call.
    m_loaded = !unreadable;
    return *m_root;
}

HiveFile::LoadResult HiveFile::load(HiveKey& root, Signature& signature, bool haveLock)
{
    signature = Signature();
    int fd = OpenRegularFile(m_path);
    if (fd < 0)
        return errno == ENOENT ? LoadResult::Loaded : LoadResult::Unreadable;
    struct stat info = {};
    if (fstat(fd, &info) != 0) {
        close(fd);
        return LoadResult::Unreadable;
    }
    signature = Signature::of(info);

    std::string text;
    bool tooLarge = static_cast<size_t>(info.st_size) > kMaxHiveSize;
    if (!tooLarge) {
        text.reserve(static_cast<size_t>(info.st_size));
        const ReadResult outcome = ReadToEnd(fd, text, kMaxHiveSize);
        if (outcome == ReadResult::Failed) {
            close(fd);
            return LoadResult::Unreadable;
        }
        tooLarge = outcome == ReadResult::TooLarge;
    }
    close(fd);

    std::string reason;
    if (tooLarge)
        reason = "die Datei ist größer als 64 MiB";
    else if (ParseHive(text, root, &reason))
        return LoadResult::Loaded;

    if (!haveLock) {
        // Another process may be moving it aside or replacing it right now:
        // decide again under the lock.
        FileLock lock(m_path + ".lock");
        root.clear();
        if (!lock.locked())
            return LoadResult::Unreadable;
        return load(root, signature, true);
    }
    root.clear();
    if (!moveAside(reason))
        return LoadResult::Unreadable;
    signature = Signature();
    return LoadResult::Loaded;
}

bool HiveFile::moveAside(const std::string& reason)
{
    char stamp[32];
    time_t now = time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string target = m_path + ".corrupt-" + stamp;
    bool moved = RenameNoReplace(m_path, target);
    for (int n = 2; !moved && errno == EEXIST && n < 1000; ++n) {
        target = m_path + ".corrupt-" + stamp + "-" + std::to_string(n);
        moved = RenameNoReplace(m_path, target);
    }
    if (!moved) {
        std::fprintf(stderr,
                     "Registrierungsdatei %s ist beschädigt (%s) und konnte nicht beiseitegelegt werden (%s); "
                     "sie bleibt unverändert, Änderungen werden nicht gespeichert.\n",
                     m_path.c_str(), reason.c_str(), std::strerror(errno));
        return false;
    }
    std::fprintf(stderr,
                 "Registrierungsdatei %s ist beschädigt (%s); sie wurde als %s aufbewahrt, es wird mit leeren "
                 "Einträgen weitergearbeitet.\n",
                 m_path.c_str(), reason.c_str(), target.c_str());
    return true;
}

void HiveFile::RemoveTemporaryCopies() const
{
    const std::string folder = FolderOf(m_path);
    const std::string prefix = m_path.substr(m_path.find_last_of('/') + 1) + ".tmp-";
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

LSTATUS HiveFile::modify(const Change& change)
{
    if (!MakeDirectories(FolderOf(m_path), 0700))
        return kAccessDenied;
    FileLock lock(m_path + ".lock");
    if (!lock.locked()) {
        if (lock.timedOut()) {
            std::fprintf(stderr,
                         "Registrierungsdatei %s ist seit mehreren Sekunden von einem anderen Prozess gesperrt; "
                         "es wurde nichts gespeichert.\n",
                         m_path.c_str());
            return kTimeout;
        }
        return kAccessDenied;
    }
    // Whatever temporary copy lies beside the file now was left by a writer
    // that died while holding this lock.
    RemoveTemporaryCopies();

    // Always start from the file as it is now: the cached copy may miss a
    // change another process made within the same clock tick.
    auto root = std::make_unique<HiveKey>();
    Signature signature;
    // A file we cannot read must not be replaced by one without its content.
    if (load(*root, signature, true) == LoadResult::Unreadable) {
        std::fprintf(stderr,
                     "Registrierungsdatei %s ist keine lesbare gewöhnliche Datei; es wurde nichts gespeichert.\n",
                     m_path.c_str());
        m_loaded = false;
        return kAccessDenied;
    }
    bool changed = false;
    LSTATUS status = change(*root, changed);
    if (status != kSuccess || !changed) {
        // Nothing to write; the freshly read content is the current one, as
        // long as change left it alone.
        if (!changed) {
            m_root = std::move(root);
            m_signature = signature;
            m_loaded = true;
        } else {
            m_loaded = false;
        }
        return status;
    }
    // Never put a file in place that the reader would refuse and move aside.
    const std::string text = SerializeHive(*root);
    std::string error;
    HiveKey check;
    if (!ParseHive(text, check, &error)) {
        std::fprintf(stderr,
                     "Registrierungsdatei %s wurde nicht geschrieben: das Ergebnis wäre nicht mehr lesbar (%s).\n",
                     m_path.c_str(), error.c_str());
        m_loaded = false;
        return kWriteFault;
    }
    if (!WriteFileAtomically(m_path, text, 0600, &error)) {
        std::fprintf(stderr, "Registrierungsdatei %s konnte nicht geschrieben werden: %s\n", m_path.c_str(),
                     error.c_str());
        m_loaded = false;
        return kWriteFault;
    }
    m_root = std::move(root);
    m_signature = signatureOnDisk();
    m_loaded = true;
    return kSuccess;
}

} // namespace platform::registry
