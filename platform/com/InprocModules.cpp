#include "platform/com/InprocModules.h"

#include <cstdio>
#include <dlfcn.h>
#include <sys/stat.h>

InprocModules& InprocModules::Instance()
{
    // Never destroyed: modules may still be called while the process ends.
    static auto* instance = new InprocModules();
    return *instance;
}

HRESULT InprocModules::Load(const std::string& path, Module** module)
{
    for (auto& candidate : m_modules) {
        if (candidate->path == path) {
            *module = candidate.get();
            return S_OK;
        }
    }
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "Komponentenmodul nicht gefunden: %s\n", path.c_str());
        return CO_E_DLLNOTFOUND;
    }
    ::dlerror();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        std::fprintf(stderr, "Komponentenmodul %s konnte nicht geladen werden: %s\n", path.c_str(),
                     error ? error : "?");
        return CO_E_ERRORINDLL;
    }
    auto entry = std::make_unique<Module>();
    entry->path = path;
    entry->handle = handle;
    entry->getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(::dlsym(handle, "DllGetClassObject"));
    entry->canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(::dlsym(handle, "DllCanUnloadNow"));
    if (!entry->getClassObject) {
        std::fprintf(stderr, "Komponentenmodul %s exportiert DllGetClassObject nicht\n", path.c_str());
        ::dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    *module = entry.get();
    m_modules.push_back(std::move(entry));
    return S_OK;
}

HRESULT InprocModules::GetClassObject(const std::string& path, REFCLSID clsid, REFIID iid, void** ppv)
{
    Module* module = nullptr;
    {
        std::lock_guard lock(m_mutex);
        const HRESULT hr = Load(path, &module);
        if (FAILED(hr))
            return hr;
        ++module->callsInProgress;
    }
    // Called without the lock: a module may activate other classes from here.
    const HRESULT hr = module->getClassObject(clsid, iid, ppv);
    std::lock_guard lock(m_mutex);
    --module->callsInProgress;
    return hr;
}

void InprocModules::FreeUnused()
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_modules.begin(); it != m_modules.end();) {
        Module& module = **it;
        if (module.callsInProgress == 0 && module.canUnloadNow && module.canUnloadNow() == S_OK) {
            ::dlclose(module.handle);
            it = m_modules.erase(it);
        } else {
            ++it;
        }
    }
}

size_t InprocModules::LoadedCount()
{
    std::lock_guard lock(m_mutex);
    return m_modules.size();
}
