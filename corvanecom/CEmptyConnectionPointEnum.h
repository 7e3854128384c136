#pragma once

#include "platform/com/ComInterfaces.h"

// The enumerator over the connection points of an object that offers none.
class CEmptyConnectionPointEnum final : public IEnumConnectionPoints
{
public:
    static HRESULT Create(IEnumConnectionPoints** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) override;

private:
    CEmptyConnectionPointEnum();
    ~CEmptyConnectionPointEnum();

    ULONG m_refs = 1;
};
