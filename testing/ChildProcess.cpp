#include "testing/ChildProcess.h"

#include "testing/FreeTcpPort.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velt::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& logFile)
{
    if (argv.empty())
        throw std::runtime_error("no program to start");
    // Everything the child needs is prepared before fork: after it only
    // async-signal-safe calls are allowed in a threaded process.
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int logFd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (logFd < 0)
        throw std::runtime_error("cannot open log file " + logFile);
    int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    pid_t parent = getpid();

    m_pid = fork();
    if (m_pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(devNull, 0);
        dup2(logFd, 1);
        dup2(logFd, 2);
        execv(args[0], args.data());
        _exit(127);
    }
    close(logFd);
    close(devNull);
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
}

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::running()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    pid_t result = waitpid(m_pid, &status, WNOHANG);
    if (result == 0)
        return true;
    m_status = status;
    m_pid = -1;
    return false;
}

void ChildProcess::stop()
{
    if (!running())
        return;
    kill(m_pid, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(m_pid, SIGKILL);
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_status = status;
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool ChildProcess::waitForPort(uint16_t port, std::chrono::seconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!running())
            return false;
        if (WaitForTcpPort(port, 50))
            return true;
    }
    stop();
    return false;
}

} // namespace velt::testing
