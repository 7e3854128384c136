#pragma once

#include <string>
#include <vector>

// Runs a program to its end and keeps what it wrote, for tests of command-line programs.
struct ProcessRun
{
    int exitCode = -1; // -1 when it had to be killed or did not start
    std::string out;
    std::string err;
};

// The child inherits the environment; it is killed by its pid when it runs
// longer than timeoutMs.
ProcessRun RunProgram(const std::vector<std::string>& argv, int timeoutMs = 30000);
