#include "corvanecom/CCorvaneClassFactory.h"

#include "corvanecom/CVELTCorvane.h"
#include "corvanecom/ModuleState.h"

#include <new>

namespace {
CCorvaneClassFactory* g_factory = nullptr;
} // namespace

CCorvaneClassFactory* CCorvaneClassFactory::Instance()
{
    std::lock_guard lock(corvane::ModuleMutex());
    if (!g_factory)
        g_factory = new (std::nothrow) CCorvaneClassFactory();
    return g_factory;
}

void CCorvaneClassFactory::ReleaseInstance()
{
    CCorvaneClassFactory* factory = nullptr;
    {
        std::lock_guard lock(corvane::ModuleMutex());
        factory = g_factory;
        g_factory = nullptr;
    }
    if (factory)
        factory->Release();
}

HRESULT CCorvaneClassFactory::QueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppvObject = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG CCorvaneClassFactory::AddRef()
{
    std::lock_guard lock(m_mutex);
    if (++m_refs == 2)
        corvane::LockModule();
    return m_refs;
}

ULONG CCorvaneClassFactory::Release()
{
    ULONG refs;
    {
        std::lock_guard lock(m_mutex);
        refs = --m_refs;
        if (refs == 1)
            corvane::UnlockModule();
    }
    if (refs == 0)
        delete this;
    return refs;
}

HRESULT CCorvaneClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject)
{
    return CVELTCorvane::CreateInstance(pUnkOuter, riid, ppvObject);
}

HRESULT CCorvaneClassFactory::LockServer(BOOL fLock)
{
    if (fLock) {
        m_serverLocks.fetch_add(1);
        corvane::LockModule();
        return S_OK;
    }
    // An unlock without a matching lock is ignored: it would otherwise let the
    // module go while objects still live.
    long held = m_serverLocks.load();
    while (held > 0) {
        if (m_serverLocks.compare_exchange_weak(held, held - 1)) {
            corvane::UnlockModule();
            break;
        }
    }
    return S_OK;
}
