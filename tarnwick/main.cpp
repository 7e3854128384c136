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
    for (const std::string& arg : args)
        hasOption = hasOption || arg.rfind("--", 0) == 0;

    if (hasOption)
        return tarnwick::SettingsCommandLine(std::cout, std::cerr).Run(args);

    std::cerr << "tarnwick: Der Fensterbetrieb ist in dieser Ausgabe noch nicht enthalten. "
                 "\"tarnwick --help\" zeigt die möglichen Optionen.\n";
    return tarnwick::SettingsCommandLine::kExitFailure;
}
