#pragma once

#include "platform/com/ComInterfaces.h"

#include <string>

// Registration of the module's embedded type library through the runtime.
namespace corvane {

// Loads the type library from the module file itself, else from the same path
// with the extension ".tlb"; path receives the file it came from.
HRESULT LoadModuleTypeLib(const std::string& modulePath, ITypeLib** library, std::string& path);

// The help directory of a path: everything up to and including its last "/", "\" or ":".
std::string HelpDirectoryOf(const std::string& path);

HRESULT RegisterModuleTypeLib(const std::string& modulePath);
// Unregisters through UnRegisterTypeLib when the runtime offers it; failures are ignored.
void UnregisterModuleTypeLib(const std::string& modulePath);

} // namespace corvane
