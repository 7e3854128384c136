#include "platform/com/TypeInfoInvoke.h"

#include "platform/com/ComApi.h"
#include "platform/com/VtableCall.h"

#include <cstring>
#include <vector>

namespace platform::com {

namespace {

bool KindAllowed(INVOKEKIND kind, WORD flags)
{
    switch (kind) {
    case INVOKE_FUNC:
        return flags & DISPATCH_METHOD;
    case INVOKE_PROPERTYGET:
        return flags & DISPATCH_PROPERTYGET;
    case INVOKE_PROPERTYPUT:
        return flags & DISPATCH_PROPERTYPUT;
    case INVOKE_PROPERTYPUTREF:
        return flags & DISPATCH_PROPERTYPUTREF;
    }
    return false;
}

// The member with that DISPID whose kind the flags allow (a property get and
// put share their DISPID).
const TlbFunc* FindMember(const TlbType& type, MEMBERID memid, WORD flags)
{
    for (const TlbFunc& func : type.funcs) {
        if (func.dispid == memid && KindAllowed(func.invkind, flags))
            return &func;
    }
    return nullptr;
}

// Frees the converted argument copies however the call ends.
class ConvertedArgs
{
public:
    explicit ConvertedArgs(size_t count)
        : m_values(count)
    {
        for (VARIANT& v : m_values)
            VariantInit(&v);
    }
    ~ConvertedArgs()
    {
        for (VARIANT& v : m_values)
            VariantClear(&v);
    }
    VARIANT& operator[](size_t i) { return m_values[i]; }

private:
    std::vector<VARIANT> m_values;
};

uint64_t ValueBits(const VARIANT& v)
{
    switch (v.vt) {
    case VT_I2:
        return static_cast<uint16_t>(v.iVal);
    case VT_BOOL:
        return static_cast<uint16_t>(v.boolVal);
    case VT_I4:
    case VT_INT:
        return static_cast<uint32_t>(v.lVal);
    case VT_UI4:
    case VT_UINT:
        return v.ulVal;
    default:
        return reinterpret_cast<uintptr_t>(v.byref);
    }
}

void FillException(HRESULT hr, EXCEPINFO* info)
{
    std::memset(info, 0, sizeof *info);
    info->scode = hr;
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) != S_OK || !error)
        return;
    error->GetSource(&info->bstrSource);
    error->GetDescription(&info->bstrDescription);
    error->GetHelpFile(&info->bstrHelpFile);
    error->GetHelpContext(&info->dwHelpContext);
    error->Release();
}

// The storage a retval pointer points at, and the VARIANT made from it.
union RetvalStorage {
    SHORT i2;
    LONG i4;
    ULONG ui4;
    VARIANT_BOOL boolean;
    BSTR text;
    IUnknown* unknown;
    VARIANT variant;
};

void MoveRetval(VARTYPE vt, RetvalStorage& storage, VARIANT* result)
{
    VARIANT value;
    VariantInit(&value);
    switch (vt) {
    case VT_VARIANT:
        value = storage.variant;
        break;
    case VT_I2:
        value.vt = VT_I2;
        value.iVal = storage.i2;
        break;
    case VT_I4:
    case VT_INT:
        value.vt = vt;
        value.lVal = storage.i4;
        break;
    case VT_UI4:
    case VT_UINT:
        value.vt = vt;
        value.ulVal = storage.ui4;
        break;
    case VT_BOOL:
        value.vt = VT_BOOL;
        value.boolVal = storage.boolean;
        break;
    default: // BSTR and interfaces keep their pointer
        value.vt = vt;
        value.byref = storage.unknown;
        break;
    }
    if (result)
        *result = value;
    else
        VariantClear(&value);
}

} // namespace

HRESULT InvokeFromTypeInfo(const TlbType& type, void* instance, MEMBERID memid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr)
{
    if (!instance || !params)
        return E_INVALIDARG;
    if ((params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs)
        || params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    const TlbFunc* func = FindMember(type, memid, flags);
    if (!func)
        return DISP_E_MEMBERNOTFOUND;
    HRESULT hr = S_OK;

    const bool hasRetval = !func->params.empty() && (func->params.back().flags & PARAMFLAG_FRETVAL);
    const size_t inputs = func->params.size() - (hasRetval ? 1 : 0);
    const bool isPut = func->invkind == INVOKE_PROPERTYPUT || func->invkind == INVOKE_PROPERTYPUTREF;

    // Which caller's argument (index into rgvarg) each parameter gets.
    std::vector<int> source(inputs, -1);
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
        const DISPID id = params->rgdispidNamedArgs[i];
        size_t position = 0;
        if (id == DISPID_PROPERTYPUT && isPut && inputs > 0)
            position = inputs - 1;
        else if (id >= 0 && static_cast<size_t>(id) < inputs)
            position = static_cast<size_t>(id);
        else {
            if (argErr)
                *argErr = i;
            return DISP_E_PARAMNOTFOUND;
        }
        if (source[position] != -1)
            return DISP_E_PARAMNOTFOUND;
        source[position] = static_cast<int>(i);
    }
    const UINT positional = params->cArgs - params->cNamedArgs;
    if (positional > inputs)
        return DISP_E_BADPARAMCOUNT;
    for (UINT p = 0; p < positional; ++p) {
        // Positional arguments come last in rgvarg, in reverse order.
        if (source[p] != -1)
            return DISP_E_BADPARAMCOUNT;
        source[p] = static_cast<int>(params->cArgs - 1 - p);
    }
    for (size_t p = 0; p < inputs; ++p) {
        if (source[p] == -1)
            return params->cNamedArgs ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
    }

    uint64_t args[kMaxTlbParams] = {};
    ConvertedArgs converted(inputs);
    for (size_t p = 0; p < inputs; ++p) {
        const TlbParam& param = func->params[p];
        const VARIANT* arg = &params->rgvarg[source[p]];
        const VARTYPE base = param.vt & ~VT_BYREF;
        if (param.vt & VT_BYREF) {
            if (base == VT_VARIANT) {
                args[p] = reinterpret_cast<uintptr_t>(arg->vt == (VT_BYREF | VT_VARIANT) ? arg->pvarVal : arg);
                continue;
            }
            if (arg->vt != param.vt || !arg->byref) {
                if (argErr)
                    *argErr = static_cast<UINT>(source[p]);
                return DISP_E_TYPEMISMATCH;
            }
            args[p] = reinterpret_cast<uintptr_t>(arg->byref);
            continue;
        }
        if (arg->vt == (VT_BYREF | VT_VARIANT) && arg->pvarVal)
            arg = arg->pvarVal;
        hr = VariantChangeType(&converted[p], arg, 0, base);
        if (FAILED(hr)) {
            if (argErr)
                *argErr = static_cast<UINT>(source[p]);
            return hr == DISP_E_BADVARTYPE ? DISP_E_TYPEMISMATCH : hr;
        }
        args[p] = ValueBits(converted[p]);
    }

    RetvalStorage retval;
    std::memset(&retval, 0, sizeof retval);
    VariantInit(&retval.variant);
    size_t count = inputs;
    if (hasRetval)
        args[count++] = reinterpret_cast<uintptr_t>(&retval);

    hr = CallVtableSlot(instance, func->vtableSlot, args, count);
    if (FAILED(hr)) {
        if (excepInfo)
            FillException(hr, excepInfo);
        return DISP_E_EXCEPTION;
    }
    if (result)
        VariantInit(result);
    if (hasRetval)
        MoveRetval(func->params.back().vt & ~VT_BYREF, retval, result);
    return S_OK;
}

} // namespace platform::com
