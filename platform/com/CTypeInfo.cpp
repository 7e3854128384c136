#include "platform/com/CTypeInfo.h"

#include "platform/com/CTypeLib.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/com/TypeDocumentation.h"
#include "platform/com/TypeInfoInvoke.h"

#include <cstdlib>
#include <new>

using namespace platform::com;

namespace {

constexpr MEMBERID kMemberNil = -1;

} // namespace

CTypeInfo::CTypeInfo(CTypeLib* library, UINT index)
    : m_library(library)
    , m_index(index)
    , m_type(library->Data().types[index])
{
    m_library->AddRef();
}

CTypeInfo::~CTypeInfo()
{
    m_library->Release();
}

const TlbFunc* CTypeInfo::FindFunc(MEMBERID memid) const
{
    for (const TlbFunc& func : m_type.funcs) {
        if (func.dispid == memid)
            return &func;
    }
    return nullptr;
}

HRESULT CTypeInfo::QueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
        *ppvObject = static_cast<ITypeInfo*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG CTypeInfo::AddRef()
{
    return ++m_refs;
}

ULONG CTypeInfo::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

HRESULT CTypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr)
{
    if (!ppTypeAttr)
        return E_INVALIDARG;
    auto* attr = new (std::nothrow) TYPEATTR {};
    if (!attr)
        return E_OUTOFMEMORY;
    const TlbLibrary& library = m_library->Data();
    attr->guid = m_type.guid;
    attr->lcid = library.lcid;
    attr->memidConstructor = kMemberNil;
    attr->memidDestructor = kMemberNil;
    attr->cbSizeInstance = sizeof(void*);
    attr->typekind = m_type.kind;
    attr->cFuncs = static_cast<WORD>(m_type.funcs.size());
    attr->cImplTypes = static_cast<WORD>(m_type.impls.size());
    attr->cbSizeVft = static_cast<WORD>(m_type.vtableSlots * sizeof(void*));
    attr->cbAlignment = alignof(void*);
    attr->wTypeFlags = m_type.typeFlags;
    attr->wMajorVerNum = library.majorVersion;
    attr->wMinorVerNum = library.minorVersion;
    *ppTypeAttr = attr;
    return S_OK;
}

HRESULT CTypeInfo::GetTypeComp(ITypeComp** ppTComp)
{
    if (ppTComp)
        *ppTComp = nullptr;
    return E_NOTIMPL;
}

HRESULT CTypeInfo::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc)
{
    if (!ppFuncDesc)
        return E_INVALIDARG;
    *ppFuncDesc = nullptr;
    if (index >= m_type.funcs.size())
        return TYPE_E_ELEMENTNOTFOUND;
    const TlbFunc& func = m_type.funcs[index];
    const size_t count = func.params.size();
    // One block: the description, its parameters, and the types pointers point to.
    const size_t bytes = sizeof(FUNCDESC) + count * (sizeof(ELEMDESC) + sizeof(TYPEDESC));
    void* block = std::calloc(1, bytes);
    if (!block)
        return E_OUTOFMEMORY;
    auto* desc = new (block) FUNCDESC {};
    auto* params = reinterpret_cast<ELEMDESC*>(desc + 1);
    auto* pointees = reinterpret_cast<TYPEDESC*>(params + count);
    desc->memid = func.dispid;
    desc->lprgelemdescParam = count ? params : nullptr;
    desc->funckind = m_type.kind == TKIND_DISPATCH ? FUNC_DISPATCH : FUNC_PUREVIRTUAL;
    desc->invkind = func.invkind;
    desc->callconv = CC_STDCALL;
    desc->cParams = static_cast<SHORT>(count);
    desc->oVft = static_cast<SHORT>(func.vtableSlot * sizeof(void*));
    desc->elemdescFunc.tdesc.vt = VT_HRESULT;
    for (size_t i = 0; i < count; ++i) {
        const TlbParam& param = func.params[i];
        ELEMDESC* elem = new (&params[i]) ELEMDESC {};
        if (param.vt & VT_BYREF) {
            new (&pointees[i]) TYPEDESC {};
            pointees[i].vt = param.vt & ~VT_BYREF;
            elem->tdesc.vt = VT_PTR;
            elem->tdesc.lptdesc = &pointees[i];
        } else {
            elem->tdesc.vt = param.vt;
        }
        elem->paramdesc.wParamFlags = param.flags;
    }
    *ppFuncDesc = desc;
    return S_OK;
}

HRESULT CTypeInfo::GetVarDesc(UINT, VARDESC** ppVarDesc)
{
    if (ppVarDesc)
        *ppVarDesc = nullptr;
    // The format describes no variables.
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT CTypeInfo::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames)
{
    if (!rgBstrNames || !pcNames)
        return E_INVALIDARG;
    *pcNames = 0;
    const TlbFunc* func = FindFunc(memid);
    if (!func)
        return TYPE_E_ELEMENTNOTFOUND;
    std::vector<const std::string*> names {&func->name};
    for (const TlbParam& param : func->params) {
        if (!param.name.empty())
            names.push_back(&param.name);
    }
    UINT written = 0;
    for (; written < cMaxNames && written < names.size(); ++written) {
        rgBstrNames[written] = AnsiToBstr(*names[written]);
        if (!rgBstrNames[written]) {
            while (written > 0)
                SysFreeString(rgBstrNames[--written]);
            return E_OUTOFMEMORY;
        }
    }
    *pcNames = written;
    return S_OK;
}

HRESULT CTypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType)
{
    if (!pRefType)
        return E_INVALIDARG;
    if (index >= m_type.impls.size())
        return TYPE_E_ELEMENTNOTFOUND;
    return m_library->RefOf(m_type.impls[index].type, pRefType) ? S_OK : TYPE_E_ELEMENTNOTFOUND;
}

HRESULT CTypeInfo::GetImplTypeFlags(UINT index, INT* pImplTypeFlags)
{
    if (!pImplTypeFlags)
        return E_INVALIDARG;
    if (index >= m_type.impls.size())
        return TYPE_E_ELEMENTNOTFOUND;
    *pImplTypeFlags = m_type.impls[index].flags;
    return S_OK;
}

HRESULT CTypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId)
{
    if (!rgszNames || !pMemId || cNames == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < cNames; ++i)
        pMemId[i] = DISPID_UNKNOWN;
    if (!rgszNames[0])
        return E_INVALIDARG;
    const std::string member = Utf16ToAnsi(rgszNames[0]);
    HRESULT hr = DISP_E_UNKNOWNNAME;
    for (const TlbFunc& func : m_type.funcs) {
        if (SameName(func.name, member)) {
            pMemId[0] = func.dispid;
            hr = S_OK;
            break;
        }
    }
    if (FAILED(hr))
        return hr;
    // Further names are parameters of that member: their position.
    for (UINT i = 1; i < cNames; ++i) {
        const std::string name = rgszNames[i] ? Utf16ToAnsi(rgszNames[i]) : std::string();
        for (const TlbFunc& func : m_type.funcs) {
            if (!SameName(func.name, member))
                continue;
            for (size_t p = 0; p < func.params.size() && pMemId[i] == DISPID_UNKNOWN; ++p) {
                if (!name.empty() && SameName(func.params[p].name, name))
                    pMemId[i] = static_cast<MEMBERID>(p);
            }
        }
        if (pMemId[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT CTypeInfo::Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                          EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    return InvokeFromTypeInfo(m_type, pvInstance, memid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
}

HRESULT CTypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                    BSTR* pBstrHelpFile)
{
    const std::string* name = &m_type.name;
    const std::string* help = &m_type.helpString;
    if (memid != kMemberNil) {
        const TlbFunc* func = FindFunc(memid);
        if (!func)
            return TYPE_E_ELEMENTNOTFOUND;
        name = &func->name;
        help = &func->helpString;
    }
    return ReturnDocumentation(*name, *help, pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
}

HRESULT CTypeInfo::GetDllEntry(MEMBERID, INVOKEKIND, BSTR* pBstrDllName, BSTR* pBstrName, WORD* pwOrdinal)
{
    if (pBstrDllName)
        *pBstrDllName = nullptr;
    if (pBstrName)
        *pBstrName = nullptr;
    if (pwOrdinal)
        *pwOrdinal = 0;
    return TYPE_E_BADMODULEKIND;
}

HRESULT CTypeInfo::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo)
{
    return m_library->TypeInfoOf(hRefType, ppTInfo);
}

HRESULT CTypeInfo::AddressOfMember(MEMBERID, INVOKEKIND, void** ppv)
{
    if (ppv)
        *ppv = nullptr;
    return E_NOTIMPL;
}

HRESULT CTypeInfo::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj)
{
    if (!ppvObj)
        return E_INVALIDARG;
    *ppvObj = nullptr;
    if (m_type.kind != TKIND_COCLASS)
        return TYPE_E_WRONGTYPEKIND;
    return CoCreateInstance(m_type.guid, pUnkOuter, CLSCTX_INPROC_SERVER, riid, ppvObj);
}

HRESULT CTypeInfo::GetMops(MEMBERID, BSTR* pBstrMops)
{
    if (!pBstrMops)
        return E_INVALIDARG;
    *pBstrMops = nullptr;
    return S_OK;
}

HRESULT CTypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex)
{
    if (ppTLib) {
        m_library->AddRef();
        *ppTLib = m_library;
    }
    if (pIndex)
        *pIndex = m_index;
    return S_OK;
}

void CTypeInfo::ReleaseTypeAttr(TYPEATTR* pTypeAttr)
{
    delete pTypeAttr;
}

void CTypeInfo::ReleaseFuncDesc(FUNCDESC* pFuncDesc)
{
    std::free(pFuncDesc);
}

void CTypeInfo::ReleaseVarDesc(VARDESC*) { }
