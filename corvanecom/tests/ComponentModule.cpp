#include "corvanecom/tests/ComponentModule.h"

#include "corvanecom/CorvaneIds.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"

#include <dlfcn.h>
#include <stdexcept>

ComponentModule::ComponentModule(const std::string& path)
    : m_path(path)
{
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle)
        throw std::runtime_error(std::string("cannot load the component: ") + dlerror());
    m_getClassObject = reinterpret_cast<GetClassObjectFn>(dlsym(m_handle, "DllGetClassObject"));
    m_canUnloadNow = reinterpret_cast<PlainFn>(dlsym(m_handle, "DllCanUnloadNow"));
    m_register = reinterpret_cast<PlainFn>(dlsym(m_handle, "DllRegisterServer"));
    m_unregister = reinterpret_cast<PlainFn>(dlsym(m_handle, "DllUnregisterServer"));
    if (!m_getClassObject || !m_canUnloadNow || !m_register || !m_unregister)
        throw std::runtime_error("the component lacks an entry point");
}

ComponentModule::~ComponentModule()
{
    dlclose(m_handle);
}

std::string ComponentModule::DefaultPath()
{
    return CORVANECOM_MODULE_PATH;
}

const ComponentModule& ComponentModule::Shared()
{
    static const ComponentModule module;
    return module;
}

ComPtr<IVELTCorvane> ComponentModule::Create() const
{
    ComPtr<IClassFactory> factory;
    if (FAILED(GetClassObject(corvane::CLSID_VELTCorvane, IID_IClassFactory, factory.PutVoid())))
        throw std::runtime_error("no class factory");
    ComPtr<IVELTCorvane> object;
    if (FAILED(factory->CreateInstance(nullptr, corvane::IID_IVELTCorvane, object.PutVoid())))
        throw std::runtime_error("no object");
    return object;
}

ThreadError TakeThreadError()
{
    ThreadError result;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return result;
    result.present = true;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetSource(&text)))
        result.source = TakeText(text);
    text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)))
        result.description = TakeText(text);
    info->Release();
    return result;
}

std::string TakeText(BSTR text)
{
    std::string result = platform::com::BstrToAnsi(text);
    SysFreeString(text);
    return result;
}
