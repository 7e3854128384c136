#include "corvanecom/host/MemberCatalog.h"

#include "platform/com/BStr.h"
#include "platform/com/ComPtr.h"

namespace corvane::host {

namespace {

VARTYPE ParamType(const ELEMDESC& elem)
{
    if (elem.tdesc.vt == VT_PTR && elem.tdesc.lptdesc)
        return elem.tdesc.lptdesc->vt | VT_BYREF;
    return elem.tdesc.vt;
}

} // namespace

HRESULT MemberCatalog::Load(IDispatch* object)
{
    m_members.clear();
    ComPtr<ITypeInfo> info;
    HRESULT hr = object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put());
    if (FAILED(hr))
        return hr;
    TYPEATTR* attr = nullptr;
    hr = info->GetTypeAttr(&attr);
    if (FAILED(hr))
        return hr;
    const WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc)))
            continue;
        MemberInfo* member = nullptr;
        for (MemberInfo& known : m_members) {
            if (known.dispid == desc->memid)
                member = &known;
        }
        if (!member) {
            m_members.push_back({});
            member = &m_members.back();
            member->dispid = desc->memid;
        }
        if (desc->invkind == INVOKE_PROPERTYPUT || desc->invkind == INVOKE_PROPERTYPUTREF) {
            member->hasPut = true;
            if (desc->cParams > 0)
                member->putType = ParamType(desc->lprgelemdescParam[desc->cParams - 1]);
        } else {
            member->isMethod = member->isMethod || desc->invkind == INVOKE_FUNC;
            member->hasGet = member->hasGet || desc->invkind == INVOKE_PROPERTYGET;
            BStr names[32];
            UINT named = 0;
            BSTR raw[32] = {};
            info->GetNames(desc->memid, raw, 32, &named);
            for (UINT n = 0; n < named; ++n)
                names[n] = BStr::Attach(raw[n]);
            member->paramNames.clear();
            member->paramTypes.clear();
            for (SHORT p = 0; p < desc->cParams; ++p) {
                const ELEMDESC& elem = desc->lprgelemdescParam[p];
                if (elem.paramdesc.wParamFlags & PARAMFLAG_FRETVAL)
                    continue;
                member->paramTypes.push_back(ParamType(elem));
                const UINT nameIndex = static_cast<UINT>(p) + 1;
                member->paramNames.push_back(nameIndex < named ? names[nameIndex].ToAnsi() : std::string());
            }
        }
        info->ReleaseFuncDesc(desc);
    }
    return S_OK;
}

const MemberInfo* MemberCatalog::Find(DISPID dispid) const
{
    for (const MemberInfo& member : m_members) {
        if (member.dispid == dispid)
            return &member;
    }
    return nullptr;
}

} // namespace corvane::host
