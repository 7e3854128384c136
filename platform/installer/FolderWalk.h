#pragma once

#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace platform::installer {

// Opens folders below a folder descriptor one component at a time, never
// through a link, so that nothing is read or made outside the tree.

// Owns one file descriptor (-1: none) and closes it.
class Fd
{
public:
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The folder parts[0..count) below rootFd, opened for reading (and fsync);
// missing folders are made when `create` is set, their relative paths added
// to `created`. -1 with errno set when a component is a link, not a folder,
// or cannot be opened or made.
int OpenFolderBeneath(int rootFd, const std::vector<std::string>& parts, size_t count, bool create,
                      std::vector<std::string>* created = nullptr);

// fsync of the folder parts[0..count) below rootFd; false when it cannot be
// opened or synced.
bool SyncFolderBeneath(int rootFd, const std::vector<std::string>& parts, size_t count);

// "a/b/c" split at "/": nothing when a component is empty, "." or "..".
bool SplitPlainPath(std::string_view path, std::vector<std::string>& parts);

// The name for messages and standard error: control characters, C1 controls
// and bytes that are no UTF-8 as \xNN, a backslash doubled.
std::string EscapedName(std::string_view name);

} // namespace platform::installer
