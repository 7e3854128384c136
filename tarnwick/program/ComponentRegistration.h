#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <string>
#include <vector>

// The network component's registration for the current user. Linux has no
// installer step that registers it, so the program registers it on its first
// start (and again when the registered module file has gone).
namespace tarnwick {

// True when the class registry names a module file for the component and that file exists.
TARNWICK_EXPORT bool IsComponentRegistered();

// Where the module is looked for, in this order: beside the program, in the
// installed library folders next to the program's folder, and in the build
// tree's component folder (running from the build tree).
TARNWICK_EXPORT std::vector<std::string> ComponentModuleCandidates(const std::string& programDirectory);

// Loads the module and calls its DllRegisterServer; false with a reason.
TARNWICK_EXPORT bool RegisterComponentModule(const std::string& modulePath, std::string* error = nullptr);

// Registers the first candidate that exists unless the component is registered already.
TARNWICK_EXPORT bool EnsureComponentRegistered(const std::string& programDirectory, std::string* error = nullptr);

} // namespace tarnwick
