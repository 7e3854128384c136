#include "TestModule.h"

#include <dlfcn.h>

HRESULT CallModuleEntry(const std::string& modulePath, const char* entry)
{
    void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return E_FAIL;
    auto* function = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
    const HRESULT hr = function ? function() : E_NOTIMPL;
    dlclose(module);
    return hr;
}

bool IsModuleLoaded(const std::string& modulePath)
{
    void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module)
        dlclose(module);
    return module != nullptr;
}
