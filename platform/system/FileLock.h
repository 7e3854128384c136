#pragma once

#include <chrono>
#include <string>

namespace platform {

// An exclusive lock between processes on a lock file (flock), held for the
// life of the object. Serialises the read-modify-write of settings files.
class FileLock
{
public:
    // Creates the lock file (mode 0600) when missing and waits for the lock,
    // at most timeout: a hung holder must not hang every later writer.
    explicit FileLock(const std::string& lockPath, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return m_fd >= 0; }
    // The lock was not had because another holder kept it past the time-out.
    bool timedOut() const { return m_timedOut; }

private:
    int m_fd = -1;
    bool m_timedOut = false;
};

} // namespace platform
