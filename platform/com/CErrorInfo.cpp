#include "platform/com/CErrorInfo.h"

#include "platform/com/ComApi.h"

namespace {

HRESULT CopyOut(const std::u16string& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    // A field never set reads as a null BSTR, as on Windows.
    if (text.empty()) {
        *out = nullptr;
        return S_OK;
    }
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::u16string CopyIn(LPOLESTR text)
{
    return text ? std::u16string(text) : std::u16string();
}

} // namespace

HRESULT CErrorInfo::QueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
        *ppvObject = static_cast<IErrorInfo*>(this);
    } else if (riid == IID_ICreateErrorInfo) {
        *ppvObject = static_cast<ICreateErrorInfo*>(this);
    } else {
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CErrorInfo::AddRef()
{
    return ++m_refs;
}

ULONG CErrorInfo::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

HRESULT CErrorInfo::GetGUID(GUID* pGUID)
{
    if (!pGUID)
        return E_POINTER;
    *pGUID = m_guid;
    return S_OK;
}

HRESULT CErrorInfo::GetSource(BSTR* pBstrSource)
{
    return CopyOut(m_source, pBstrSource);
}

HRESULT CErrorInfo::GetDescription(BSTR* pBstrDescription)
{
    return CopyOut(m_description, pBstrDescription);
}

HRESULT CErrorInfo::GetHelpFile(BSTR* pBstrHelpFile)
{
    return CopyOut(m_helpFile, pBstrHelpFile);
}

HRESULT CErrorInfo::GetHelpContext(DWORD* pdwHelpContext)
{
    if (!pdwHelpContext)
        return E_POINTER;
    *pdwHelpContext = m_helpContext;
    return S_OK;
}

HRESULT CErrorInfo::SetGUID(REFGUID rguid)
{
    m_guid = rguid;
    return S_OK;
}

HRESULT CErrorInfo::SetSource(LPOLESTR szSource)
{
    m_source = CopyIn(szSource);
    return S_OK;
}

HRESULT CErrorInfo::SetDescription(LPOLESTR szDescription)
{
    m_description = CopyIn(szDescription);
    return S_OK;
}

HRESULT CErrorInfo::SetHelpFile(LPOLESTR szHelpFile)
{
    m_helpFile = CopyIn(szHelpFile);
    return S_OK;
}

HRESULT CErrorInfo::SetHelpContext(DWORD dwHelpContext)
{
    m_helpContext = dwHelpContext;
    return S_OK;
}
