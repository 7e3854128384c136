#pragma once

#include <string>
#include <vector>

namespace platform::installer {

// The record of a swap that lets a later start complete it after a kill or a
// power loss, and the lock that tells a running installation from a dead one.
// Everything lies in the installation folder: ".kestrup-lock",
// ".kestrup-journal", the staging and the backup folder of a run.

// One step of a swap, in the order it is done: a folder made (when missing),
// or a file or link renamed from the staging folder over its target, its old
// version (when there was one) linked into the backup folder first.
struct SwapStep
{
    bool folder = false;
    bool oldExisted = false;
    std::vector<std::string> parts; // below the installation folder
};

struct SwapRecord
{
    std::string staging; // folders below the installation folder
    std::string backup;
    std::vector<SwapStep> steps;
    bool rollingBack = false;
};

// A run is alive while it holds the flock on the lock file, whatever its
// process id became. Released and the file removed with the object.
class InstallLock
{
public:
    InstallLock() = default;
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;
    ~InstallLock();

    // False with errno EWOULDBLOCK while another run holds the lock.
    bool TryAcquire(int prefixFd);

private:
    int m_prefixFd = -1;
    int m_fd = -1;
};

// Journal on disk: written to a side file, synced and renamed into place
// (and the folder synced), so that it is there whole or not at all.
bool WriteSwapRecord(int prefixFd, const SwapRecord& record);
// Marks the record as being rolled back, so that a later start goes on backwards.
bool MarkRollingBack(int prefixFd);
bool RemoveSwapRecord(int prefixFd);

// Does one step forward. With backupFd -1 the old version is not kept (a
// start that completes a swap). A file whose staged version is gone has
// already been moved. False with errno set.
bool DoSwapStep(int prefixFd, int stagingFd, int backupFd, const SwapStep& step);
// Undoes every step in reverse order: old versions come back from the
// backup folder, files that were new are removed, folders made are removed
// when empty. Errors are noted on standard error; the rest goes on.
void UndoSwapSteps(int prefixFd, int stagingFd, int backupFd, const std::vector<SwapStep>& steps);
// fsync of every folder that a step changed.
void SyncSwapFolders(int prefixFd, const std::vector<SwapStep>& steps);

// With the lock held: completes (or, when it was being rolled back, rolls
// back) a swap that a dead run left, and removes the staging and backup
// folders of dead runs. False with a German text when a swap could not be
// finished; its journal and folders then stay for the next start.
bool RecoverLocked(int prefixFd, const std::string& prefix, std::string& problem);

// What a start of the programs calls: nothing is done (and little read) when
// no run left anything, or while a run is alive. A German text when an
// interrupted installation was finished or could not be.
std::string RecoverInterruptedInstall(const std::string& prefix);

} // namespace platform::installer
