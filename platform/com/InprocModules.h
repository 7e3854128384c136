#pragma once

#include "platform/com/ComApi.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The component modules loaded into the process: each path is dlopen'ed once
// and kept until it says it can be unloaded.
class InprocModules
{
public:
    static InprocModules& Instance();

    // Loads the module when needed and asks its DllGetClassObject. Loader
    // failures give CO_E_DLLNOTFOUND or CO_E_ERRORINDLL and are described on
    // standard error (the user sees the German system text of the result).
    HRESULT GetClassObject(const std::string& path, REFCLSID clsid, REFIID iid, void** ppv);
    // Unloads every module whose DllCanUnloadNow answers S_OK and that is not in a call.
    void FreeUnused();
    size_t LoadedCount();

private:
    struct Module
    {
        std::string path;
        void* handle = nullptr;
        LPFNGETCLASSOBJECT getClassObject = nullptr;
        LPFNCANUNLOADNOW canUnloadNow = nullptr;
        int callsInProgress = 0;
    };

    HRESULT Load(const std::string& path, Module** module);

    std::mutex m_mutex;
    std::vector<std::unique_ptr<Module>> m_modules;
};
