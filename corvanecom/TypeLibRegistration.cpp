#include "corvanecom/TypeLibRegistration.h"

#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"

#include <dlfcn.h>

namespace corvane {

namespace {

std::string WithTlbExtension(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + ".tlb";
}

// The runtime's UnRegisterTypeLib, looked up when needed: a runtime without it
// simply leaves the registration in place.
LPFNUNREGISTERTYPELIB FindUnRegisterTypeLib()
{
    if (void* runtime = dlopen("libveltplatform.so", RTLD_LAZY | RTLD_NOLOAD)) {
        auto* function = reinterpret_cast<LPFNUNREGISTERTYPELIB>(dlsym(runtime, "UnRegisterTypeLib"));
        dlclose(runtime); // RTLD_NOLOAD took a reference; the library stays loaded
        if (function)
            return function;
    }
    return reinterpret_cast<LPFNUNREGISTERTYPELIB>(dlsym(RTLD_DEFAULT, "UnRegisterTypeLib"));
}

} // namespace

HRESULT LoadModuleTypeLib(const std::string& modulePath, ITypeLib** library, std::string& path)
{
    path = modulePath;
    HRESULT hr = LoadTypeLib(platform::com::AnsiToUtf16(path).c_str(), library);
    if (FAILED(hr)) {
        path = WithTlbExtension(modulePath);
        hr = LoadTypeLib(platform::com::AnsiToUtf16(path).c_str(), library);
    }
    return hr;
}

std::string HelpDirectoryOf(const std::string& path)
{
    const size_t last = path.find_last_of("\\/:");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

HRESULT RegisterModuleTypeLib(const std::string& modulePath)
{
    ComPtr<ITypeLib> library;
    std::string path;
    HRESULT hr = LoadModuleTypeLib(modulePath, library.Put(), path);
    if (FAILED(hr))
        return hr;
    const std::u16string fullPath = platform::com::AnsiToUtf16(path);
    const std::u16string helpDir = platform::com::AnsiToUtf16(HelpDirectoryOf(path));
    return RegisterTypeLib(library.Get(), fullPath.c_str(), helpDir.c_str());
}

void UnregisterModuleTypeLib(const std::string& modulePath)
{
    ComPtr<ITypeLib> library;
    std::string path;
    if (FAILED(LoadModuleTypeLib(modulePath, library.Put(), path)))
        return;
    TLIBATTR* attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes)) || !attributes)
        return;
    if (LPFNUNREGISTERTYPELIB unregister = FindUnRegisterTypeLib()) {
        unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                   attributes->syskind);
    }
    library->ReleaseTLibAttr(attributes);
}

} // namespace corvane
