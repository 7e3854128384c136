#pragma once

#include <string>
#include <vector>

// What a program run to its end wrote, for tests of command-line programs.
struct ProcessRun
{
    int exitCode = -1; // -1 when it had to be killed or did not start
    std::string out;
    std::string err;
};

// Runs argv[0] with the inherited environment; it is killed by its pid when
// it runs longer than timeoutMs.
ProcessRun RunProgram(const std::vector<std::string>& argv, int timeoutMs = 30000);
