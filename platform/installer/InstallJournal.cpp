#include "platform/installer/InstallJournal.h"

#include "platform/installer/FolderWalk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::installer {

namespace {

constexpr const char* kLockName = ".kestrup-lock";
constexpr const char* kJournalName = ".kestrup-journal";
constexpr const char* kJournalSide = ".kestrup-journal.tmp";
constexpr const char* kJournalHeader = "kestrup-journal 1";

// Paths in the journal: one word each, whatever bytes a name holds.
std::string Encode(const std::string& text)
{
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || byte == '%') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            encoded += hex;
        } else {
            encoded += c;
        }
    }
    return encoded;
}

bool Decode(const std::string& text, std::string& decoded)
{
    decoded.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        unsigned value = 0;
        if (std::sscanf(text.substr(i + 1, 2).c_str(), "%2X", &value) != 1)
            return false;
        decoded += static_cast<char>(value);
        i += 2;
    }
    return true;
}

std::string JoinPath(const std::vector<std::string>& parts, size_t count)
{
    std::string joined;
    for (size_t k = 0; k < count; ++k)
        joined += (k ? "/" : "") + parts[k];
    return joined;
}

bool ExistsAt(int dirFd, const std::string& name)
{
    struct stat info
    {
    };
    return ::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

bool ReadSwapRecord(int prefixFd, SwapRecord& record)
{
    const int fd = ::openat(prefixFd, kJournalName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string text;
    char buffer[4096];
    for (ssize_t count; (count = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(count));
    ::close(fd);

    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kJournalHeader)
        return false;
    record = {};
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word, kind, old, encoded, path;
        words >> word;
        if (word == "rollback") {
            record.rollingBack = true;
        } else if (word == "staging" || word == "backup") {
            std::vector<std::string> parts;
            // Only ever a run's own folders: nothing else is removed or read from.
            if (!(words >> encoded) || !Decode(encoded, path) || !SplitPlainPath(path, parts)
                || parts.front().rfind(".kestrup-", 0) != 0)
                return false;
            (word == "staging" ? record.staging : record.backup) = path;
        } else if (word == "step") {
            SwapStep step;
            if (!(words >> kind >> old >> encoded) || !Decode(encoded, path) || !SplitPlainPath(path, step.parts))
                return false;
            step.folder = kind == "D";
            step.oldExisted = old == "1";
            record.steps.push_back(std::move(step));
        } else if (!word.empty()) {
            return false;
        }
    }
    return !record.staging.empty() && !record.backup.empty();
}

int OpenRelative(int prefixFd, const std::string& relative)
{
    std::vector<std::string> parts;
    if (relative.empty() || !SplitPlainPath(relative, parts))
        return -1;
    return OpenFolderBeneath(prefixFd, parts, parts.size(), false);
}

bool IsRunLeftover(const std::string& name)
{
    return name.rfind(".kestrup-staging-", 0) == 0 || name.rfind(".kestrup-backup-", 0) == 0 || name == kJournalSide;
}

void RemoveLeftovers(const std::string& prefix, int prefixFd)
{
    const int listFd = ::dup(prefixFd);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    ::rewinddir(dir);
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsRunLeftover(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const auto& name : names) {
        // remove_all removes links themselves, never what they lead to.
        std::error_code ignored;
        std::filesystem::remove_all(prefix + "/" + name, ignored);
    }
}

} // namespace

InstallLock::~InstallLock()
{
    if (m_fd < 0)
        return;
    // Removed while still held: a run that opens it now finds another file
    // than the one it locked and tries again.
    ::unlinkat(m_prefixFd, kLockName, 0);
    ::close(m_fd);
}

bool InstallLock::TryAcquire(int prefixFd)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::openat(prefixFd, kLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        struct stat held
        {
        };
        struct stat named
        {
        };
        if (::fstat(fd, &held) == 0 && ::fstatat(prefixFd, kLockName, &named, AT_SYMLINK_NOFOLLOW) == 0
            && held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            m_prefixFd = prefixFd;
            m_fd = fd;
            return true;
        }
        ::close(fd);
    }
    errno = EWOULDBLOCK;
    return false;
}

bool WriteSwapRecord(int prefixFd, const SwapRecord& record)
{
    std::string text = std::string(kJournalHeader) + "\nstaging " + Encode(record.staging) + "\nbackup "
        + Encode(record.backup) + "\n";
    for (const auto& step : record.steps)
        text += std::string("step ") + (step.folder ? "D " : "F ") + (step.oldExisted ? "1 " : "0 ")
            + Encode(JoinPath(step.parts, step.parts.size())) + "\n";
    const int fd = ::openat(prefixFd, kJournalSide, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    return written && closed && ::renameat(prefixFd, kJournalSide, prefixFd, kJournalName) == 0
        && ::fsync(prefixFd) == 0;
}

bool MarkRollingBack(int prefixFd)
{
    const int fd = ::openat(prefixFd, kJournalName, O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, "rollback\n") && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

bool RemoveSwapRecord(int prefixFd)
{
    return ::unlinkat(prefixFd, kJournalName, 0) == 0 && ::fsync(prefixFd) == 0;
}

bool DoSwapStep(int prefixFd, int stagingFd, int backupFd, const SwapStep& step)
{
    const size_t count = step.parts.size();
    if (step.folder) {
        const int fd = OpenFolderBeneath(prefixFd, step.parts, count, true);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }
    const std::string& name = step.parts.back();
    const Fd staged(OpenFolderBeneath(stagingFd, step.parts, count - 1, false));
    if (staged.get() < 0)
        return false;
    if (!ExistsAt(staged.get(), name))
        return true;
    const Fd parent(OpenFolderBeneath(prefixFd, step.parts, count - 1, true));
    if (parent.get() < 0)
        return false;
    if (backupFd >= 0 && ExistsAt(parent.get(), name)) {
        // The old version keeps a second name, so a roll back finds it while
        // the target itself is always either the old or the new file.
        const Fd backup(OpenFolderBeneath(backupFd, step.parts, count - 1, true));
        if (backup.get() < 0)
            return false;
        if (::linkat(parent.get(), name.c_str(), backup.get(), name.c_str(), 0) != 0 && errno != EEXIST)
            return false;
    }
    return ::renameat(staged.get(), name.c_str(), parent.get(), name.c_str()) == 0;
}

void UndoSwapSteps(int prefixFd, int stagingFd, int backupFd, const std::vector<SwapStep>& steps)
{
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        const size_t count = it->parts.size();
        const std::string& name = it->parts.back();
        const Fd parent(OpenFolderBeneath(prefixFd, it->parts, count - 1, false));
        if (parent.get() < 0)
            continue;
        if (it->folder) {
            if (!it->oldExisted)
                ::unlinkat(parent.get(), name.c_str(), AT_REMOVEDIR);
            continue;
        }
        bool failed = false;
        if (it->oldExisted) {
            const Fd backup(OpenFolderBeneath(backupFd, it->parts, count - 1, false));
            if (backup.get() >= 0 && ExistsAt(backup.get(), name))
                failed = ::renameat(backup.get(), name.c_str(), parent.get(), name.c_str()) != 0;
        } else {
            // Moved in when its staged version is gone.
            const Fd staged(OpenFolderBeneath(stagingFd, it->parts, count - 1, false));
            if (staged.get() >= 0 && !ExistsAt(staged.get(), name) && ExistsAt(parent.get(), name))
                failed = ::unlinkat(parent.get(), name.c_str(), 0) != 0;
        }
        if (failed)
            std::fprintf(stderr, "kestrup: %s konnte nicht wiederhergestellt werden: %s\n",
                         EscapedName(JoinPath(it->parts, count)).c_str(), std::strerror(errno));
    }
    SyncSwapFolders(prefixFd, steps);
}

void SyncSwapFolders(int prefixFd, const std::vector<SwapStep>& steps)
{
    std::set<std::string> synced;
    for (const auto& step : steps) {
        const size_t count = step.parts.size() - 1;
        if (synced.insert(JoinPath(step.parts, count)).second)
            SyncFolderBeneath(prefixFd, step.parts, count);
    }
}

bool RecoverLocked(int prefixFd, const std::string& prefix, std::string& problem)
{
    SwapRecord record;
    if (ExistsAt(prefixFd, kJournalName)) {
        if (!ReadSwapRecord(prefixFd, record)) {
            problem = "Das Protokoll einer unterbrochenen Installation in " + EscapedName(prefix)
                + " ist unlesbar; es bleibt liegen.";
            return false;
        }
        const Fd staging(OpenRelative(prefixFd, record.staging));
        const Fd backup(OpenRelative(prefixFd, record.backup));
        if (record.rollingBack) {
            UndoSwapSteps(prefixFd, staging.get(), backup.get(), record.steps);
        } else {
            for (const auto& step : record.steps) {
                if (staging.get() < 0 || !DoSwapStep(prefixFd, staging.get(), -1, step)) {
                    problem = "Eine unterbrochene Installation in " + EscapedName(prefix)
                        + " konnte nicht abgeschlossen werden: " + std::strerror(errno);
                    return false;
                }
            }
            SyncSwapFolders(prefixFd, record.steps);
        }
        if (!RemoveSwapRecord(prefixFd)) {
            problem = "Das Protokoll einer unterbrochenen Installation in " + EscapedName(prefix)
                + " konnte nicht entfernt werden: " + std::strerror(errno);
            return false;
        }
        problem = record.rollingBack ? "Eine unterbrochene Installation wurde zurückgenommen."
                                     : "Eine unterbrochene Installation wurde abgeschlossen.";
    }
    RemoveLeftovers(prefix, prefixFd);
    return true;
}

std::string RecoverInterruptedInstall(const std::string& prefix)
{
    const Fd prefixFd(::open(prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (prefixFd.get() < 0)
        return {};
    // A start that finds nothing of a run reads one folder listing only.
    bool anything = false;
    if (const int listFd = ::dup(prefixFd.get()); listFd >= 0) {
        if (DIR* dir = ::fdopendir(listFd)) {
            while (const dirent* entry = ::readdir(dir))
                anything = anything || std::strncmp(entry->d_name, ".kestrup-", 9) == 0;
            ::closedir(dir);
        } else {
            ::close(listFd);
        }
    }
    if (!anything)
        return {};
    InstallLock lock;
    if (!lock.TryAcquire(prefixFd.get()))
        return {};
    std::string report;
    RecoverLocked(prefixFd.get(), prefix, report);
    return report;
}

} // namespace platform::installer
