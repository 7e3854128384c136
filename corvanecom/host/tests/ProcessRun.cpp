#include "ProcessRun.h"

#include "testing/FreeTcpPort.h"
#include "testing/TempDir.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

ProcessRun RunProgram(const std::vector<std::string>& argv, int timeoutMs)
{
    ProcessRun run;
    velt::testing::TempDir dir;
    const std::string outFile = (dir.path() / "out").string();
    const std::string errFile = (dir.path() / "err").string();
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        dup2(open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    if (pid < 0)
        return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = velt::testing::ReadTextFile(outFile);
    run.err = velt::testing::ReadTextFile(errFile);
    return run;
}
