#pragma once

#include "tarnwick/logic/TarnwickExport.h"

namespace tarnwick {

// Exit codes of the start options.
inline constexpr int kExitAlreadyRunning = 2; // --headless / --once while an instance runs
inline constexpr int kExitStartFailed = 1;

// "--headless" (periodic, until ended) or "--once" (one full cycle): the
// program without any window.
TARNWICK_EXPORT int RunWindowless(int argc, char** argv, bool once);

// A plain start with the words quit, execnow and pending: a later start
// forwards them to the running instance and ends; the first one opens the
// window module and runs the main window.
TARNWICK_EXPORT int RunWindowProgram(int argc, char** argv);

} // namespace tarnwick
