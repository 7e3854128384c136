#include "platform/installer/FileSwap.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::installer {

namespace {

bool IsDirectory(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0;
}

bool IsPermissionError(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// The folder that holds path, or the nearest one above it that exists.
std::string ExistingFolderAbove(const std::string& prefix, const std::vector<std::string>& parts)
{
    std::string folder = prefix;
    std::string deepest = prefix;
    for (size_t k = 0; k + 1 < parts.size(); ++k) {
        folder += "/" + parts[k];
        if (!IsDirectory(folder))
            break;
        deepest = folder;
    }
    return deepest;
}

InstallResult Failed(InstallFailure failure, std::string text)
{
    return {failure == InstallFailure::NoPermission ? ERROR_ACCESS_DENIED : ERROR_INSTALL_FAILURE, failure,
            std::move(text)};
}

struct Move
{
    std::string target;
    std::string backup;
    bool oldMoved = false;
    bool newMoved = false;
};

class Journal
{
public:
    ~Journal()
    {
        if (!m_committed)
            Undo();
    }

    void Commit() { m_committed = true; }
    std::vector<Move>& Moves() { return m_moves; }

    // Creates the missing folders of path below root, remembering those made here.
    bool MakeFolders(const std::string& root, const std::vector<std::string>& parts, size_t count, bool remember)
    {
        std::string folder = root;
        for (size_t k = 0; k < count; ++k) {
            folder += "/" + parts[k];
            if (::mkdir(folder.c_str(), 0755) == 0) {
                if (remember)
                    m_created.push_back(folder);
            } else if (errno != EEXIST || !IsDirectory(folder)) {
                return false;
            }
        }
        return true;
    }

private:
    void Undo()
    {
        for (auto it = m_moves.rbegin(); it != m_moves.rend(); ++it) {
            if (it->newMoved)
                ::unlink(it->target.c_str());
            if (it->oldMoved && ::rename(it->backup.c_str(), it->target.c_str()) != 0)
                std::fprintf(stderr, "kestrup: %s konnte nicht wiederhergestellt werden: %s\n", it->target.c_str(),
                             std::strerror(errno));
        }
        for (auto it = m_created.rbegin(); it != m_created.rend(); ++it)
            ::rmdir(it->c_str());
    }

    std::vector<Move> m_moves;
    std::vector<std::string> m_created;
    bool m_committed = false;
};

} // namespace

InstallResult CheckTargets(const PackagePlan& plan, const std::string& prefix)
{
    for (const auto& item : plan.items) {
        const std::string target = prefix + "/" + JoinParts(item.parts);
        std::string above = prefix;
        for (size_t k = 0; k + 1 < item.parts.size(); ++k) {
            above += "/" + item.parts[k];
            if (Exists(above) && !IsDirectory(above))
                return Failed(InstallFailure::BadPackage,
                              "Die Datei " + above + " kann nicht durch einen Ordner ersetzt werden.");
        }
        const bool exists = Exists(target);
        if (item.type == PackageEntry::Type::Directory) {
            if (exists && !IsDirectory(target))
                return Failed(InstallFailure::BadPackage,
                              "Die Datei " + target + " kann nicht durch einen Ordner ersetzt werden.");
        } else if (exists && IsDirectory(target)) {
            struct stat info
            {
            };
            if (::lstat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                return Failed(InstallFailure::BadPackage,
                              "Der Ordner " + target + " kann nicht durch eine Datei ersetzt werden.");
        }
        const std::string folder = ExistingFolderAbove(prefix, item.parts);
        if (::access(folder.c_str(), W_OK | X_OK) != 0 && IsPermissionError(errno))
            return Failed(InstallFailure::NoPermission, "Keine Schreibberechtigung für den Ordner " + folder + ".");
    }
    return {};
}

InstallResult SwapIntoPlace(const PackagePlan& plan, const std::string& stagingDir, const std::string& prefix,
                            const std::string& backupDir, const MoveHook& beforeMove)
{
    Journal journal;
    size_t moveNumber = 0;
    for (const auto& item : plan.items) {
        const std::string relative = JoinParts(item.parts);
        const std::string target = prefix + "/" + relative;
        if (item.type == PackageEntry::Type::Directory) {
            if (!journal.MakeFolders(prefix, item.parts, item.parts.size(), true))
                return Failed(IsPermissionError(errno) ? InstallFailure::NoPermission : InstallFailure::WriteFailed,
                              "Der Ordner " + target + " konnte nicht angelegt werden: " + std::strerror(errno));
            continue;
        }
        if (!journal.MakeFolders(prefix, item.parts, item.parts.size() - 1, true))
            return Failed(IsPermissionError(errno) ? InstallFailure::NoPermission : InstallFailure::WriteFailed,
                          "Ein Ordner für " + target + " konnte nicht angelegt werden: " + std::strerror(errno));
        journal.Moves().push_back({target, backupDir + "/" + relative});
        Move& move = journal.Moves().back();
        if (beforeMove && !beforeMove(moveNumber++))
            return Failed(InstallFailure::WriteFailed, "Die Datei " + target + " konnte nicht ersetzt werden.");
        if (Exists(target)) {
            if (!journal.MakeFolders(backupDir, item.parts, item.parts.size() - 1, false)
                || ::rename(target.c_str(), move.backup.c_str()) != 0)
                return Failed(IsPermissionError(errno) ? InstallFailure::NoPermission : InstallFailure::WriteFailed,
                              "Die Datei " + target + " konnte nicht gesichert werden: " + std::strerror(errno));
            move.oldMoved = true;
        }
        const std::string staged = stagingDir + "/" + relative;
        if (::rename(staged.c_str(), target.c_str()) != 0)
            return Failed(IsPermissionError(errno) ? InstallFailure::NoPermission : InstallFailure::WriteFailed,
                          "Die Datei " + target + " konnte nicht ersetzt werden: " + std::strerror(errno));
        move.newMoved = true;
    }
    journal.Commit();
    return {};
}

} // namespace platform::installer
