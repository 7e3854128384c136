#pragma once

#include "platform/com/ComApi.h"

#include <string>
#include <thread>

// Calls an entry point of a component module the way regsvr32 would (load,
// call, unload): "DllRegisterServer" or "DllUnregisterServer".
HRESULT CallModuleEntry(const std::string& modulePath, const char* entry);

// True while the module is loaded into the process.
bool IsModuleLoaded(const std::string& modulePath);

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
