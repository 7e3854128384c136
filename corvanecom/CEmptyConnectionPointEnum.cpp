#include "corvanecom/CEmptyConnectionPointEnum.h"

#include "corvanecom/ModuleState.h"

#include <new>

CEmptyConnectionPointEnum::CEmptyConnectionPointEnum()
{
    corvane::LockModule();
}

CEmptyConnectionPointEnum::~CEmptyConnectionPointEnum()
{
    corvane::UnlockModule();
}

HRESULT CEmptyConnectionPointEnum::Create(IEnumConnectionPoints** out)
{
    if (!out)
        return E_POINTER;
    *out = new (std::nothrow) CEmptyConnectionPointEnum();
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CEmptyConnectionPointEnum::QueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumConnectionPoints) {
        *ppvObject = static_cast<IEnumConnectionPoints*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG CEmptyConnectionPointEnum::AddRef()
{
    return ++m_refs;
}

ULONG CEmptyConnectionPointEnum::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

HRESULT CEmptyConnectionPointEnum::Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched)
{
    if (!ppCP || (cConnections > 1 && !pcFetched))
        return E_POINTER;
    if (pcFetched)
        *pcFetched = 0;
    return cConnections == 0 ? S_OK : S_FALSE;
}

HRESULT CEmptyConnectionPointEnum::Skip(ULONG cConnections)
{
    return cConnections == 0 ? S_OK : S_FALSE;
}

HRESULT CEmptyConnectionPointEnum::Reset()
{
    return S_OK;
}

HRESULT CEmptyConnectionPointEnum::Clone(IEnumConnectionPoints** ppEnum)
{
    return Create(ppEnum);
}
