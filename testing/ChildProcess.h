#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velt::testing {

// A server process started by a test: standard output and error go to a log
// file, it dies with the thread that started it (PR_SET_PDEATHSIG), and it is
// stopped by its pid (SIGTERM, then SIGKILL) and reaped when the object goes.
class ChildProcess
{
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& logFile);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // True while the process has not ended (reaps it when it has).
    bool running();
    // Exit status as waitpid reported it, -1 while running.
    int exitStatus() const { return m_status; }
    void stop();
    // Waits until the process accepts TCP connections on 127.0.0.1:port. False
    // when it ended first or the time ran out; then it is stopped.
    bool waitForPort(uint16_t port, std::chrono::seconds timeout);

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

} // namespace velt::testing
