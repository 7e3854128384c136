#include "tarnwick/core/ProgramStart.h"
#include "tarnwick/core/SettingsCommandLine.h"

#include <iostream>
#include <string>
#include <vector>

// Options beginning with "--" are recognised first and handled alone; the
// command-line words of the window program are not looked for then.
int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    bool hasOption = false;
    bool hasStartOption = false;
    for (const std::string& arg : args) {
        hasOption = hasOption || arg.rfind("--", 0) == 0;
        hasStartOption = hasStartOption || tarnwick::IsStartOption(arg);
    }

    if (hasOption && !hasStartOption)
        return tarnwick::SettingsCommandLine(std::cout, std::cerr).Run(args);
    return tarnwick::RunTarnwick(argc, argv);
}
