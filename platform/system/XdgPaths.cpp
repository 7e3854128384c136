#include "platform/system/XdgPaths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The base directory rules ignore relative values: they would depend on the
// working directory of whichever program reads them.
std::string AbsoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    std::string result(value);
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::string HomeDirectory()
{
    std::string home = AbsoluteEnv("HOME");
    if (!home.empty())
        return home;
    struct passwd entry = {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr && found->pw_dir)
        return found->pw_dir;
    return "/";
}

std::string Join(const std::string& base, const char* tail)
{
    return base == "/" ? std::string("/") + tail : base + "/" + tail;
}

std::string VeltDir(const std::string& base, bool create)
{
    std::string dir = Join(base, "VELT");
    if (create)
        MakeDirectories(dir, 0700);
    return dir;
}

} // namespace

bool MakeDirectories(const std::string& dir, unsigned mode)
{
    if (dir.empty())
        return false;
    struct stat info = {};
    if (stat(dir.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    std::string::size_type slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash), mode))
        return false;
    if (mkdir(dir.c_str(), static_cast<mode_t>(mode)) == 0)
        return true;
    return errno == EEXIST && stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ConfigHome()
{
    std::string dir = AbsoluteEnv("XDG_CONFIG_HOME");
    return dir.empty() ? Join(HomeDirectory(), ".config") : dir;
}

std::string DataHome()
{
    std::string dir = AbsoluteEnv("XDG_DATA_HOME");
    return dir.empty() ? Join(HomeDirectory(), ".local/share") : dir;
}

std::string RuntimeDir(bool create)
{
    std::string dir = AbsoluteEnv("XDG_RUNTIME_DIR");
    if (!dir.empty())
        return dir;
    // Without a session runtime folder, a per-user folder in /tmp. Its name is
    // predictable, so it is only used when it is ours and private: another user
    // could otherwise plant sockets where our programs look for each other.
    dir = "/tmp/velt-runtime-" + std::to_string(getuid());
    if (create && mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info = {};
    if (lstat(dir.c_str(), &info) != 0)
        return create ? std::string() : dir;
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 077) != 0) {
        std::fprintf(stderr, "Laufzeitordner %s gehört nicht allein diesem Benutzer und wird nicht verwendet.\n",
                     dir.c_str());
        return {};
    }
    return dir;
}

std::string VeltConfigDir(bool create)
{
    return VeltDir(ConfigHome(), create);
}

std::string VeltDataDir(bool create)
{
    return VeltDir(DataHome(), create);
}

} // namespace platform
