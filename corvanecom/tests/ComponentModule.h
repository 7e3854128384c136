#pragma once

#include "corvanecom/IVELTCorvane.h"
#include "platform/com/ComPtr.h"

#include <string>

// A component module loaded the way the runtime loads it (dlopen), with its
// four entry points. Shared by the component's and the runtime's tests.
class ComponentModule
{
public:
    using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
    using PlainFn = HRESULT (*)();

    // libcorvanecom.so of this build, or another module (a copy, the test module).
    explicit ComponentModule(const std::string& path = DefaultPath());
    ~ComponentModule();
    ComponentModule(const ComponentModule&) = delete;
    ComponentModule& operator=(const ComponentModule&) = delete;

    static std::string DefaultPath();
    // One libcorvanecom.so for the whole test program.
    static const ComponentModule& Shared();
    const std::string& Path() const { return m_path; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const { return m_getClassObject(clsid, iid, out); }
    HRESULT CanUnloadNow() const { return m_canUnloadNow(); }
    HRESULT Register() const { return m_register(); }
    HRESULT Unregister() const { return m_unregister(); }

    // A new VELTCorvane through the module's class factory.
    ComPtr<IVELTCorvane> Create() const;

private:
    std::string m_path;
    void* m_handle = nullptr;
    GetClassObjectFn m_getClassObject = nullptr;
    PlainFn m_canUnloadNow = nullptr;
    PlainFn m_register = nullptr;
    PlainFn m_unregister = nullptr;
};

// The thread's current error object, taken (GetErrorInfo clears it).
struct ThreadError
{
    bool present = false;
    std::string source;
    std::string description;
};
ThreadError TakeThreadError();

// UTF-8 text of a BSTR out value, freeing it.
std::string TakeText(BSTR text);
