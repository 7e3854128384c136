#include "platform/system/ProgramDirectory.h"

#include <climits>
#include <unistd.h>

namespace platform {

std::string ProgramDirectory()
{
    char buffer[PATH_MAX + 1];
    ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length <= 0)
        return {};
    std::string path(buffer, static_cast<size_t>(length));
    // After an update replaced the file, the link reads "<path> (deleted)";
    // the folder part is unaffected.
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1);
}

} // namespace platform
