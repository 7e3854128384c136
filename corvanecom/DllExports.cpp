// The module's exported entry points: class objects, unloading and
// self-registration. Nothing here lets an exception out.
#include "corvanecom/CCorvaneClassFactory.h"
#include "corvanecom/ClassRegistration.h"
#include "corvanecom/ComGuard.h"
#include "corvanecom/CorvaneIds.h"
#include "corvanecom/ModuleState.h"
#include "corvanecom/TypeLibRegistration.h"

#define CORVANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Process detach: the module's reference to its class factory goes.
__attribute__((destructor)) void ReleaseClassFactoryAtUnload()
{
    CCorvaneClassFactory::ReleaseInstance();
}

} // namespace

CORVANE_EXPORT HRESULT DllCanUnloadNow()
{
    return corvane::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

CORVANE_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != corvane::CLSID_VELTCorvane)
        return CLASS_E_CLASSNOTAVAILABLE;
    return ComGuard([&] {
        CCorvaneClassFactory* factory = CCorvaneClassFactory::Instance();
        return factory ? factory->QueryInterface(riid, ppv) : E_OUTOFMEMORY;
    });
}

CORVANE_EXPORT HRESULT DllRegisterServer()
{
    return ComGuard([] {
        const std::string path = corvane::ModulePath();
        if (path.empty())
            return E_UNEXPECTED;
        const HRESULT hr = corvane::RegisterClassEntries(path);
        if (FAILED(hr))
            return hr;
        return corvane::RegisterModuleTypeLib(path);
    });
}

CORVANE_EXPORT HRESULT DllUnregisterServer()
{
    ComGuard([] {
        corvane::UnregisterClassEntries();
        corvane::UnregisterModuleTypeLib(corvane::ModulePath());
        return S_OK;
    });
    return S_OK;
}
