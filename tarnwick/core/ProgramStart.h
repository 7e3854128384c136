#pragma once

#include <string>
#include <vector>

namespace tarnwick {

class CRedirectApp;
class SingleInstance;

// The window program's first instance: runs the main window for the whole
// life of the program (the title is claimed; instance.Title() carries what
// later starts send) and returns the exit code. The window library installs
// it; without one a plain start says that it has no window.
using WindowProgram = int (*)(CRedirectApp& app, SingleInstance& instance, int argc, char** argv);
void SetWindowProgram(WindowProgram program);

// Exit codes of the start options.
inline constexpr int kExitAlreadyRunning = 2; // --headless / --once while an instance runs
inline constexpr int kExitStartFailed = 1;

// True for the start options handled here ("--headless", "--once"), which
// take no further arguments.
bool IsStartOption(const std::string& argument);

// Runs the program for a command line without settings options: "--headless",
// "--once", or a plain start with the words quit, execnow and pending (a
// second start forwards them to the running instance and ends).
int RunTarnwick(int argc, char** argv);

} // namespace tarnwick
