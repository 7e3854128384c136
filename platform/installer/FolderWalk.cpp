#include "platform/installer/FolderWalk.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::installer {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Length of the UTF-8 sequence at text[i] that is printable, 0 when the byte
// must be escaped.
size_t PrintableSequence(std::string_view text, size_t i)
{
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7f)
        return 0;
    if (byte < 0x80)
        return 1;
    size_t length = 0;
    if ((byte & 0xe0) == 0xc0)
        length = 2;
    else if ((byte & 0xf0) == 0xe0)
        length = 3;
    else if ((byte & 0xf8) == 0xf0)
        length = 4;
    if (length == 0 || byte == 0xc0 || byte == 0xc1 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
            return 0;
    }
    // U+0080..U+009F: the C1 controls, which terminals also act on.
    if (byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) < 0xa0)
        return 0;
    return length;
}

} // namespace

int OpenFolderBeneath(int rootFd, const std::vector<std::string>& parts, size_t count, bool create,
                      std::vector<std::string>* created)
{
    int fd = ::openat(rootFd, ".", kFolderFlags);
    std::string relative;
    for (size_t k = 0; k < count && fd >= 0; ++k) {
        relative += (k ? "/" : "") + parts[k];
        int next = ::openat(fd, parts[k].c_str(), kFolderFlags);
        if (next < 0 && errno == ENOENT && create) {
            if (::mkdirat(fd, parts[k].c_str(), 0755) == 0) {
                if (created)
                    created->push_back(relative);
            } else if (errno != EEXIST) {
                const int error = errno;
                ::close(fd);
                errno = error;
                return -1;
            }
            next = ::openat(fd, parts[k].c_str(), kFolderFlags);
        }
        const int error = errno;
        ::close(fd);
        fd = next;
        errno = error;
    }
    return fd;
}

bool SyncFolderBeneath(int rootFd, const std::vector<std::string>& parts, size_t count)
{
    const int fd = OpenFolderBeneath(rootFd, parts, count, false);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool SplitPlainPath(std::string_view path, std::vector<std::string>& parts)
{
    parts.clear();
    while (true) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (part.empty() || part == "." || part == "..")
            return false;
        parts.emplace_back(part);
        if (slash == std::string_view::npos)
            return true;
        path.remove_prefix(slash + 1);
    }
}

std::string EscapedName(std::string_view name)
{
    std::string escaped;
    for (size_t i = 0; i < name.size();) {
        if (name[i] == '\\') {
            escaped += "\\\\";
            ++i;
            continue;
        }
        if (const size_t length = PrintableSequence(name, i)) {
            escaped.append(name.substr(i, length));
            i += length;
            continue;
        }
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(name[i]));
        escaped += hex;
        ++i;
    }
    return escaped;
}

} // namespace platform::installer
