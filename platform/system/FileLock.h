#pragma once

#include <string>

namespace platform {

// An exclusive lock between processes on a lock file (flock), held for the
// life of the object. Serialises the read-modify-write of settings files.
class FileLock
{
public:
    // Creates the lock file (mode 0600) when missing and waits for the lock.
    explicit FileLock(const std::string& lockPath);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace platform
