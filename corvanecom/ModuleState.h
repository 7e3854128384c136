#pragma once

#include <mutex>
#include <string>

// Process-wide state of the component module: its lock count (live objects,
// held class factories, LockServer) and where it was loaded from.
namespace corvane {

void LockModule();
void UnlockModule();
long ModuleLockCount();
// Serialises one-time set-up inside the module (the class factory).
std::mutex& ModuleMutex();
// The full path of the loaded module file, as the loader reports it, made absolute.
std::string ModulePath();

} // namespace corvane
