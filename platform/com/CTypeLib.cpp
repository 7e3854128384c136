#include "platform/com/CTypeLib.h"

#include "platform/com/CTypeInfo.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/com/TypeDocumentation.h"

#include <new>

using namespace platform::com;

CTypeLib::CTypeLib(std::shared_ptr<const TlbLibrary> data)
    : m_data(std::move(data))
{
}

CTypeLib* CTypeLib::Create(std::shared_ptr<const TlbLibrary> data)
{
    return new (std::nothrow) CTypeLib(std::move(data));
}

CTypeLib* CTypeLib::Standard()
{
    // The standard description is static: the shared pointer must not free it.
    return Create(std::shared_ptr<const TlbLibrary>(&StandardTypeLibrary(), [](const TlbLibrary*) {}));
}

HRESULT CTypeLib::TypeInfoOf(HREFTYPE ref, ITypeInfo** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (ref & kStandardRef) {
        CTypeLib* standard = Standard();
        if (!standard)
            return E_OUTOFMEMORY;
        const HRESULT hr = standard->GetTypeInfo(ref & ~kStandardRef, out);
        standard->Release();
        return hr;
    }
    return GetTypeInfo(ref, out);
}

bool CTypeLib::RefOf(REFGUID guid, HREFTYPE* ref) const
{
    for (size_t i = 0; i < m_data->types.size(); ++i) {
        if (m_data->types[i].guid == guid) {
            *ref = static_cast<HREFTYPE>(i);
            return true;
        }
    }
    const TlbLibrary& standard = StandardTypeLibrary();
    for (size_t i = 0; i < standard.types.size(); ++i) {
        if (standard.types[i].guid == guid) {
            *ref = kStandardRef | static_cast<HREFTYPE>(i);
            return true;
        }
    }
    return false;
}

HRESULT CTypeLib::QueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeLib) {
        *ppvObject = static_cast<ITypeLib*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG CTypeLib::AddRef()
{
    return ++m_refs;
}

ULONG CTypeLib::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

UINT CTypeLib::GetTypeInfoCount()
{
    return static_cast<UINT>(m_data->types.size());
}

HRESULT CTypeLib::GetTypeInfo(UINT index, ITypeInfo** ppTInfo)
{
    if (!ppTInfo)
        return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (index >= m_data->types.size())
        return TYPE_E_ELEMENTNOTFOUND;
    auto* info = new (std::nothrow) CTypeInfo(this, index);
    if (!info)
        return E_OUTOFMEMORY;
    *ppTInfo = info;
    return S_OK;
}

HRESULT CTypeLib::GetTypeInfoType(UINT index, TYPEKIND* pTKind)
{
    if (!pTKind)
        return E_INVALIDARG;
    if (index >= m_data->types.size())
        return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = m_data->types[index].kind;
    return S_OK;
}

HRESULT CTypeLib::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo)
{
    if (!ppTinfo)
        return E_INVALIDARG;
    *ppTinfo = nullptr;
    for (size_t i = 0; i < m_data->types.size(); ++i) {
        if (m_data->types[i].guid == guid)
            return GetTypeInfo(static_cast<UINT>(i), ppTinfo);
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT CTypeLib::GetLibAttr(TLIBATTR** ppTLibAttr)
{
    if (!ppTLibAttr)
        return E_INVALIDARG;
    auto* attr = new (std::nothrow) TLIBATTR {};
    if (!attr)
        return E_OUTOFMEMORY;
    attr->guid = m_data->libid;
    attr->lcid = m_data->lcid;
    attr->syskind = m_data->syskind;
    attr->wMajorVerNum = m_data->majorVersion;
    attr->wMinorVerNum = m_data->minorVersion;
    attr->wLibFlags = m_data->libFlags;
    *ppTLibAttr = attr;
    return S_OK;
}

HRESULT CTypeLib::GetTypeComp(ITypeComp** ppTComp)
{
    if (ppTComp)
        *ppTComp = nullptr;
    return E_NOTIMPL;
}

HRESULT CTypeLib::GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                   BSTR* pBstrHelpFile)
{
    const std::string* name = &m_data->name;
    const std::string* help = &m_data->helpString;
    if (index != -1) {
        if (index < 0 || static_cast<size_t>(index) >= m_data->types.size())
            return TYPE_E_ELEMENTNOTFOUND;
        name = &m_data->types[index].name;
        help = &m_data->types[index].helpString;
    }
    return ReturnDocumentation(*name, *help, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
}

HRESULT CTypeLib::IsName(LPOLESTR szNameBuf, ULONG, BOOL* pfName)
{
    if (!szNameBuf || !pfName)
        return E_INVALIDARG;
    const std::string wanted = Utf16ToAnsi(szNameBuf);
    const std::string* found = nullptr;
    for (const TlbType& type : m_data->types) {
        if (SameName(type.name, wanted))
            found = &type.name;
        for (const TlbFunc& func : type.funcs) {
            if (!found && SameName(func.name, wanted))
                found = &func.name;
            for (const TlbParam& param : func.params) {
                if (!found && SameName(param.name, wanted))
                    found = &param.name;
            }
        }
        if (found)
            break;
    }
    *pfName = found ? 1 : 0;
    // The caller's buffer gets the spelling of the library.
    if (found) {
        const std::u16string spelled = AnsiToUtf16(*found);
        for (size_t i = 0; i < spelled.size() && szNameBuf[i]; ++i)
            szNameBuf[i] = spelled[i];
    }
    return S_OK;
}

HRESULT CTypeLib::FindName(LPOLESTR szNameBuf, ULONG, ITypeInfo** ppTInfo, MEMBERID* rgMemId, USHORT* pcFound)
{
    if (!szNameBuf || !ppTInfo || !rgMemId || !pcFound)
        return E_INVALIDARG;
    const std::string wanted = Utf16ToAnsi(szNameBuf);
    const USHORT capacity = *pcFound;
    USHORT found = 0;
    for (size_t i = 0; i < m_data->types.size() && found < capacity; ++i) {
        const TlbType& type = m_data->types[i];
        MEMBERID memid = DISPID_UNKNOWN;
        bool match = SameName(type.name, wanted);
        for (const TlbFunc& func : type.funcs) {
            if (!match && SameName(func.name, wanted)) {
                match = true;
                memid = func.dispid;
            }
        }
        if (!match)
            continue;
        if (FAILED(GetTypeInfo(static_cast<UINT>(i), &ppTInfo[found])))
            break;
        rgMemId[found++] = memid;
    }
    *pcFound = found;
    return S_OK;
}

void CTypeLib::ReleaseTLibAttr(TLIBATTR* pTLibAttr)
{
    delete pTLibAttr;
}
