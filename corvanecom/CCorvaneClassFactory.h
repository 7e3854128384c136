#pragma once

#include "platform/com/ComInterfaces.h"

#include <atomic>
#include <mutex>

// The module's single class factory for VELTCorvane. The module keeps one
// reference for its whole life; any reference a client holds beyond it locks
// the module, so DllCanUnloadNow says no while a client keeps the factory.
class CCorvaneClassFactory final : public IClassFactory
{
public:
    // The module's factory, created on the first request (under the module lock).
    static CCorvaneClassFactory* Instance();
    // Drops the module's own reference at unload.
    static void ReleaseInstance();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

private:
    CCorvaneClassFactory() = default;
    ~CCorvaneClassFactory() = default;

    std::mutex m_mutex;
    ULONG m_refs = 1;
    std::atomic<long> m_serverLocks {0};
};
