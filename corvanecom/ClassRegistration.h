#pragma once

#include "platform/com/ComTypes.h"

#include <string>

// The class's entries in the class registry (HKEY_CLASSES_ROOT): ProgIDs,
// the CLSID key with its server path and threading model.
namespace corvane {

// Writes every entry; a ForceRemove key is first deleted with all below it.
// Stops at the first failing step with its HRESULT (entries written stay).
HRESULT RegisterClassEntries(const std::string& modulePath);

// Deletes the entries after their subkeys; keeps a NoRemove key and a key that
// still has other subkeys. Missing keys are fine.
void UnregisterClassEntries();

} // namespace corvane
