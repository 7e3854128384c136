#include "platform/system/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string Folder(const std::string& path)
{
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool Fail(std::string* error, const std::string& what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
    return false;
}

} // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content, mode_t mode, std::string* error)
{
    static std::atomic<unsigned> counter {0};
    std::string temp = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0)
        return Fail(error, temp);
    // The umask may have cleared bits the caller asked for, or a stale
    // temporary file may exist: set the mode explicitly.
    fchmod(fd, mode);
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            int saved = errno;
            close(fd);
            unlink(temp.c_str());
            errno = saved;
            return Fail(error, temp);
        }
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0) {
        int saved = errno;
        close(fd);
        unlink(temp.c_str());
        errno = saved;
        return Fail(error, temp);
    }
    close(fd);
    if (rename(temp.c_str(), path.c_str()) != 0) {
        int saved = errno;
        unlink(temp.c_str());
        errno = saved;
        return Fail(error, path);
    }
    // The rename itself is durable only once the folder is synced.
    int dirFd = open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& content, size_t maxSize, bool* missing)
{
    if (missing)
        *missing = false;
    int fd = OpenRegularFile(path);
    if (fd < 0) {
        if (missing)
            *missing = (errno == ENOENT);
        return false;
    }
    struct stat info = {};
    if (fstat(fd, &info) != 0 || static_cast<size_t>(info.st_size) > maxSize) {
        close(fd);
        return false;
    }
    std::string data;
    data.reserve(static_cast<size_t>(info.st_size));
    const ReadResult result = ReadToEnd(fd, data, maxSize);
    close(fd);
    if (result != ReadResult::Complete)
        return false;
    content = std::move(data);
    return true;
}

int OpenRegularFile(const std::string& path)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat info = {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

ReadResult ReadToEnd(int fd, std::string& content, size_t maxSize)
{
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadResult::Failed;
        if (n == 0)
            return ReadResult::Complete;
        content.append(buffer, static_cast<size_t>(n));
        if (content.size() > maxSize)
            return ReadResult::TooLarge;
    }
}

} // namespace platform
