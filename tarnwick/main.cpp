#include "platform/installer/InstallJournal.h"
#include "platform/system/ProgramDirectory.h"
#include "tarnwick/program/ProgramStart.h"
#include "tarnwick/program/SettingsCommandLine.h"

#include <iostream>
#include <string>
#include <vector>

// The one place that chooses how the program runs. Options beginning with
// "--" are recognised first and handled alone (the window program's words
// are not looked for then); "--headless" and "--once" stand alone.
int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    // An update that was killed while it swapped the files is finished
    // before anything of the installation is used.
    if (const std::string programDir = platform::ProgramDirectory(); !programDir.empty()) {
        const std::string report = platform::installer::RecoverInterruptedInstall(programDir + "..");
        if (!report.empty())
            std::cerr << "tarnwick: " << report << "\n";
    }
    bool hasOption = false;
    for (const std::string& arg : args)
        hasOption = hasOption || arg.rfind("--", 0) == 0;
    if (!hasOption)
        return tarnwick::RunWindowProgram(argc, argv);

    if (args.size() == 1 && (args[0] == "--headless" || args[0] == "--once"))
        return tarnwick::RunWindowless(argc, argv, args[0] == "--once");
    for (const std::string& arg : args) {
        if (arg == "--headless" || arg == "--once") {
            std::cerr << "tarnwick: --headless und --once werden allein angegeben.\n";
            return 2;
        }
    }
    return tarnwick::SettingsCommandLine(std::cout, std::cerr).Run(args);
}
