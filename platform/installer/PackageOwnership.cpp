#include "platform/installer/PackageOwnership.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform::installer {

bool IsOwnedByPackageManager(const std::string& path)
{
    // dpkg-query exits 0 only when a package lists the path.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = "dpkg-query";
    std::string option = "-S";
    std::string argument = path;
    char* argv[] = {program.data(), option.data(), argument.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "dpkg-query", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsPrefixOwnedByPackageManager(const std::string& prefix)
{
    for (const char* program : {"/bin/kestrup", "/bin/tarnwick"}) {
        const std::string path = prefix + program;
        if (::access(path.c_str(), F_OK) == 0 && IsOwnedByPackageManager(path))
            return true;
    }
    return false;
}

} // namespace platform::installer
