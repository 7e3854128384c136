#pragma once

#include "platform/com/ComApi.h"

#include <dlfcn.h>
#include <string>
#include <thread>

// True while the module is loaded into the process.
inline bool IsModuleLoaded(const std::string& modulePath)
{
    void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module)
        dlclose(module);
    return module != nullptr;
}

// Runs the body on a fresh thread inside a single-threaded apartment, so
// apartments and error objects never leak between tests.
template<typename F>
void InApartment(F body)
{
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        body();
        CoFreeUnusedLibraries();
        CoUninitialize();
    }).join();
}
