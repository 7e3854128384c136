#include "platform/system/FileLock.h"

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

// A blocking flock waits in the kernel's queue, so that a writer is not
// starved by others that take the lock again and again; flock itself has no
// time-out, so the wait runs on a thread of its own. When the time runs out
// that thread is left to finish: it drops the lock at once if it gets it.
struct LockWait
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    bool locked = false;
};

void WaitForLock(int fd, const std::shared_ptr<LockWait>& wait)
{
    int result;
    do {
        result = flock(fd, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    std::lock_guard guard(wait->mutex);
    wait->done = true;
    wait->locked = result == 0;
    if (wait->abandoned)
        close(fd); // the lock, if it came, goes with the descriptor
    wait->finished.notify_all();
}

} // namespace

FileLock::FileLock(const std::string& lockPath, std::chrono::milliseconds timeout)
{
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_fd = fd;
        return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
        close(fd);
        return;
    }
    auto wait = std::make_shared<LockWait>();
    try {
        std::thread(WaitForLock, fd, wait).detach();
    } catch (...) {
        close(fd);
        return;
    }
    std::unique_lock guard(wait->mutex);
    if (!wait->finished.wait_for(guard, timeout, [&] { return wait->done; })) {
        wait->abandoned = true;
        m_timedOut = true;
        return;
    }
    if (wait->locked)
        m_fd = fd;
    else
        close(fd);
}

FileLock::~FileLock()
{
    if (m_fd >= 0) {
        flock(m_fd, LOCK_UN);
        close(m_fd);
    }
}

} // namespace platform
