#include "platform/installer/FileSwap.h"

#include "platform/installer/FolderWalk.h"
#include "platform/installer/InstallJournal.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::installer {

namespace {

constexpr int kMaxLinkHops = 40;

bool IsPermissionError(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

InstallResult Failed(InstallFailure failure, std::string text)
{
    return {failure == InstallFailure::NoPermission ? ERROR_ACCESS_DENIED : ERROR_INSTALL_FAILURE, failure,
            std::move(text)};
}

InstallResult FailedWith(int error, const std::string& text)
{
    return Failed(IsPermissionError(error) ? InstallFailure::NoPermission : InstallFailure::WriteFailed,
                  text + std::strerror(error));
}

// lstat: 0 when missing, else the mode.
mode_t ModeOf(const std::string& path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

std::vector<std::string> SplitTarget(std::string_view target)
{
    std::vector<std::string> parts;
    while (!target.empty()) {
        const size_t slash = target.find('/');
        parts.emplace_back(target.substr(0, slash));
        target = slash == std::string_view::npos ? std::string_view() : target.substr(slash + 1);
    }
    return parts;
}

// Where links lead once the package is in place: the package's own entries
// first (they replace what is there), then the installed tree.
class LinkResolver
{
public:
    LinkResolver(const PackagePlan& plan, std::string prefix)
        : m_prefix(std::move(prefix))
    {
        for (const auto& item : plan.items) {
            const std::string joined = JoinParts(item.parts);
            if (item.type == PackageEntry::Type::Symlink)
                m_links[joined] = item.linkTarget;
            else
                m_plain.insert(joined);
        }
    }

    // Whether the link in folder `dir` with this target ends inside the installation.
    bool LeadsInside(std::vector<std::string> dir, std::string_view target) const
    {
        std::deque<std::string> pending;
        for (auto& part : SplitTarget(target))
            pending.push_back(std::move(part));
        if (target.empty() || target.front() == '/')
            return false;
        int hops = 0;
        while (!pending.empty()) {
            const std::string part = pending.front();
            pending.pop_front();
            if (part.empty() || part == ".")
                continue;
            if (part == "..") {
                if (dir.empty())
                    return false;
                dir.pop_back();
                continue;
            }
            dir.push_back(part);
            std::string next;
            if (!LinkAt(JoinParts(dir), next))
                continue;
            if (++hops > kMaxLinkHops || next.empty() || next.front() == '/')
                return false;
            dir.pop_back();
            const auto parts = SplitTarget(next);
            pending.insert(pending.begin(), parts.begin(), parts.end());
        }
        return true;
    }

private:
    bool LinkAt(const std::string& joined, std::string& target) const
    {
        if (const auto found = m_links.find(joined); found != m_links.end()) {
            target = found->second;
            return true;
        }
        if (m_plain.count(joined))
            return false;
        const std::string path = m_prefix + "/" + joined;
        if (!S_ISLNK(ModeOf(path)))
            return false;
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
        target = length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string("/");
        return true;
    }

    std::string m_prefix;
    std::map<std::string, std::string> m_links;
    std::set<std::string> m_plain;
};

std::string Below(const std::string& folder, const std::string& prefix)
{
    return folder.rfind(prefix + "/", 0) == 0 ? folder.substr(prefix.size() + 1) : std::string();
}

} // namespace

InstallResult CheckTargets(const PackagePlan& plan, const std::string& prefix)
{
    const LinkResolver resolver(plan, prefix);
    for (const auto& item : plan.items) {
        const std::string relative = JoinParts(item.parts);
        const std::string target = prefix + "/" + relative;
        // The nearest folder above that exists, reached without a link.
        std::string folder = prefix;
        std::string above = prefix;
        for (size_t k = 0; k + 1 < item.parts.size(); ++k) {
            above += "/" + item.parts[k];
            const mode_t mode = ModeOf(above);
            if (mode == 0)
                break;
            if (S_ISLNK(mode))
                return Failed(InstallFailure::UnsafeEntry,
                              "Das Paket enthält einen Eintrag unterhalb einer Verknüpfung der Installation: "
                                  + EscapedName(relative));
            if (!S_ISDIR(mode))
                return Failed(InstallFailure::BadPackage,
                              "Die Datei " + EscapedName(above) + " kann nicht durch einen Ordner ersetzt werden.");
            folder = above;
        }
        const mode_t mode = ModeOf(target);
        if (item.type == PackageEntry::Type::Directory) {
            if (S_ISLNK(mode))
                return Failed(InstallFailure::UnsafeEntry,
                              "Das Paket enthält einen Ordner an der Stelle einer Verknüpfung der Installation: "
                                  + EscapedName(relative));
            if (mode != 0 && !S_ISDIR(mode))
                return Failed(InstallFailure::BadPackage,
                              "Die Datei " + EscapedName(target) + " kann nicht durch einen Ordner ersetzt werden.");
        } else if (S_ISDIR(mode)) {
            return Failed(InstallFailure::BadPackage,
                          "Der Ordner " + EscapedName(target) + " kann nicht durch eine Datei ersetzt werden.");
        }
        if (item.type == PackageEntry::Type::Symlink
            && !resolver.LeadsInside({item.parts.begin(), item.parts.end() - 1}, item.linkTarget))
            return Failed(InstallFailure::UnsafeEntry,
                          "Das Paket enthält eine Verknüpfung aus dem Installationsordner hinaus: "
                              + EscapedName(relative));
        if (::access(folder.c_str(), W_OK | X_OK) != 0 && IsPermissionError(errno))
            return Failed(InstallFailure::NoPermission,
                          "Keine Schreibberechtigung für den Ordner " + EscapedName(folder) + ".");
    }
    return {};
}

InstallResult SwapIntoPlace(const PackagePlan& plan, const std::string& stagingDir, const std::string& prefix,
                            const std::string& backupDir, const MoveHook& beforeMove)
{
    SwapRecord record;
    record.staging = Below(stagingDir, prefix);
    record.backup = Below(backupDir, prefix);
    std::set<std::string> folders;
    for (const auto& item : plan.items) {
        const bool folder = item.type == PackageEntry::Type::Directory;
        const size_t count = folder ? item.parts.size() : item.parts.size() - 1;
        for (size_t k = 1; k <= count; ++k) {
            std::vector<std::string> parts(item.parts.begin(), item.parts.begin() + static_cast<long>(k));
            const std::string joined = JoinParts(parts);
            if (folders.insert(joined).second)
                record.steps.push_back({true, ModeOf(prefix + "/" + joined) != 0, std::move(parts)});
        }
        if (!folder)
            record.steps.push_back({false, ModeOf(prefix + "/" + JoinParts(item.parts)) != 0, item.parts});
    }

    const Fd prefixFd(::open(prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const Fd stagingFd(::open(stagingDir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const Fd backupFd(::open(backupDir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (prefixFd.get() < 0 || stagingFd.get() < 0 || backupFd.get() < 0)
        return FailedWith(errno, "Der Installationsordner " + EscapedName(prefix) + " kann nicht geöffnet werden: ");
    if (record.staging.empty() || record.backup.empty())
        return Failed(InstallFailure::WriteFailed, "Die Arbeitsordner liegen nicht im Installationsordner.");

    // The staged tree is on the disk before the journal names it.
    SyncSwapFolders(stagingFd.get(), record.steps);
    ::fsync(stagingFd.get());
    if (!WriteSwapRecord(prefixFd.get(), record))
        return FailedWith(errno, "Das Installationsprotokoll kann nicht geschrieben werden: ");

    size_t moveNumber = 0;
    InstallResult failure;
    for (const auto& step : record.steps) {
        const std::string target = EscapedName(prefix + "/" + JoinParts(step.parts));
        if (!step.folder && beforeMove && !beforeMove(moveNumber++)) {
            failure = Failed(InstallFailure::WriteFailed, "Die Datei " + target + " konnte nicht ersetzt werden.");
            break;
        }
        if (!DoSwapStep(prefixFd.get(), stagingFd.get(), backupFd.get(), step)) {
            failure = FailedWith(
                errno,
                (step.folder ? "Der Ordner " : "Die Datei ") + target
                    + (step.folder ? " konnte nicht angelegt werden: " : " konnte nicht ersetzt werden: "));
            break;
        }
    }
    if (failure.code == ERROR_SUCCESS && beforeMove && !beforeMove(moveNumber))
        failure = Failed(InstallFailure::WriteFailed, "Die Installation konnte nicht abgeschlossen werden.");
    if (failure.code != ERROR_SUCCESS) {
        MarkRollingBack(prefixFd.get());
        UndoSwapSteps(prefixFd.get(), stagingFd.get(), backupFd.get(), record.steps);
        RemoveSwapRecord(prefixFd.get());
        return failure;
    }
    SyncSwapFolders(prefixFd.get(), record.steps);
    if (!RemoveSwapRecord(prefixFd.get()))
        return FailedWith(errno, "Das Installationsprotokoll kann nicht entfernt werden: ");
    return {};
}

} // namespace platform::installer
