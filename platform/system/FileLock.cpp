#include "platform/system/FileLock.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace platform {

FileLock::FileLock(const std::string& lockPath, std::chrono::milliseconds timeout)
{
    m_fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        return;
    // flock has no time-out of its own: poll, briefly at first, since most
    // holders are done within a few milliseconds.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto pause = std::chrono::milliseconds(1);
    while (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            close(m_fd);
            m_fd = -1;
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            close(m_fd);
            m_fd = -1;
            m_timedOut = true;
            return;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

FileLock::~FileLock()
{
    if (m_fd >= 0) {
        flock(m_fd, LOCK_UN);
        close(m_fd);
    }
}

} // namespace platform
