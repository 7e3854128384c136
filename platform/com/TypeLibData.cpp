#include "platform/com/TypeLibData.h"

#include "platform/com/ComInterfaces.h"
#include "platform/system/AsciiText.h"

#include <cctype>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>

namespace platform::com {

namespace {

constexpr USHORT kMaxTypes = 1024;
constexpr USHORT kMaxFuncs = 4096;
constexpr size_t kMaxNameLength = 1024;

bool CopyText(const char* text, bool required, std::string* out)
{
    if (!text)
        return !required;
    const size_t length = ::strnlen(text, kMaxNameLength + 1);
    if (length > kMaxNameLength)
        return false;
    out->assign(text, length);
    return !required || !out->empty();
}

bool IsKnownParamType(VARTYPE vt)
{
    switch (vt & ~VT_BYREF) {
    case VT_I2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_BOOL:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return true;
    case VT_VARIANT:
        return (vt & VT_BYREF) != 0;
    default:
        return false;
    }
}

HRESULT CopyFunc(const VeltTlbFunc& record, USHORT slots, TlbFunc* out)
{
    if (!CopyText(record.name, true, &out->name) || !CopyText(record.helpString, false, &out->helpString))
        return TYPE_E_INVDATAREAD;
    const int kind = record.invkind;
    if (kind != INVOKE_FUNC && kind != INVOKE_PROPERTYGET && kind != INVOKE_PROPERTYPUT
        && kind != INVOKE_PROPERTYPUTREF)
        return TYPE_E_INVDATAREAD;
    if (record.vtableSlot >= slots || record.paramCount > kMaxTlbParams || (record.paramCount && !record.params))
        return TYPE_E_INVDATAREAD;
    out->dispid = record.dispid;
    out->invkind = record.invkind;
    out->vtableSlot = record.vtableSlot;
    for (USHORT i = 0; i < record.paramCount; ++i) {
        const VeltTlbParam& p = record.params[i];
        TlbParam param;
        if (!CopyText(p.name, false, &param.name) || !IsKnownParamType(p.vt))
            return TYPE_E_INVDATAREAD;
        // Out values need somewhere to go; a retval is the last parameter.
        const bool out_ = (p.flags & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL)) != 0;
        if (out_ && !(p.vt & VT_BYREF))
            return TYPE_E_INVDATAREAD;
        if ((p.flags & PARAMFLAG_FRETVAL) && i + 1 != record.paramCount)
            return TYPE_E_INVDATAREAD;
        param.vt = p.vt;
        param.flags = p.flags;
        out->params.push_back(std::move(param));
    }
    return S_OK;
}

HRESULT CopyType(const VeltTlbType& record, TlbType* out)
{
    if (!CopyText(record.name, true, &out->name) || !CopyText(record.helpString, false, &out->helpString))
        return TYPE_E_INVDATAREAD;
    if (record.kind != TKIND_INTERFACE && record.kind != TKIND_DISPATCH && record.kind != TKIND_COCLASS)
        return TYPE_E_INVDATAREAD;
    if (record.funcCount > kMaxFuncs || (record.funcCount && !record.funcs) || record.implCount > kMaxTypes
        || (record.implCount && !record.impls))
        return TYPE_E_INVDATAREAD;
    if (record.kind == TKIND_COCLASS && record.funcCount)
        return TYPE_E_INVDATAREAD;
    out->kind = record.kind;
    out->guid = record.guid;
    out->typeFlags = record.typeFlags;
    out->vtableSlots = record.vtableSlots;
    for (USHORT i = 0; i < record.funcCount; ++i) {
        TlbFunc func;
        const HRESULT hr = CopyFunc(record.funcs[i], record.vtableSlots, &func);
        if (FAILED(hr))
            return hr;
        out->funcs.push_back(std::move(func));
    }
    for (USHORT i = 0; i < record.implCount; ++i)
        out->impls.push_back({record.impls[i].type, record.impls[i].flags});
    return S_OK;
}

} // namespace

bool SameName(std::string_view a, std::string_view b)
{
    return EqualsAsciiNoCase(a, b);
}

HRESULT CopyTypeLibrary(const VeltTypeLibrary& record, TlbLibrary* out)
{
    if (record.magic != kVeltTypeLibraryMagic || record.format != kVeltTypeLibraryFormat)
        return TYPE_E_INVDATAREAD;
    if (record.typeCount > kMaxTypes || (record.typeCount && !record.types))
        return TYPE_E_INVDATAREAD;
    TlbLibrary library;
    if (!CopyText(record.name, true, &library.name) || !CopyText(record.helpString, false, &library.helpString))
        return TYPE_E_INVDATAREAD;
    library.libid = record.libid;
    library.majorVersion = record.majorVersion;
    library.minorVersion = record.minorVersion;
    library.lcid = record.lcid;
    library.syskind = record.syskind;
    library.libFlags = record.libFlags;
    for (USHORT i = 0; i < record.typeCount; ++i) {
        TlbType type;
        const HRESULT hr = CopyType(record.types[i], &type);
        if (FAILED(hr))
            return hr;
        library.types.push_back(std::move(type));
    }
    *out = std::move(library);
    return S_OK;
}

HRESULT ReadTypeLibraryFile(const std::string& path, TlbLibrary* out)
{
    struct stat info
    {
    };
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return TYPE_E_CANTLOADLIBRARY;
    // dlopen searches the library path for a bare name; a file here is meant.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return TYPE_E_CANTLOADLIBRARY;
    const auto* record = static_cast<const VeltTypeLibrary*>(::dlsym(handle, kVeltTypeLibrarySymbol));
    const HRESULT hr = record ? CopyTypeLibrary(*record, out) : TYPE_E_CANTLOADLIBRARY;
    ::dlclose(handle);
    return hr;
}

const TlbLibrary& StandardTypeLibrary()
{
    static const TlbLibrary library = [] {
        TlbLibrary l;
        l.libid = LIBID_STDOLE2;
        l.majorVersion = 2;
        l.name = "stdole";
        l.helpString = "OLE Automation";
        TlbType unknown;
        unknown.guid = IID_IUnknown;
        unknown.name = "IUnknown";
        unknown.vtableSlots = 3;
        TlbType dispatch;
        dispatch.guid = IID_IDispatch;
        dispatch.name = "IDispatch";
        dispatch.vtableSlots = 7;
        dispatch.impls.push_back({IID_IUnknown, 0});
        l.types.push_back(std::move(unknown));
        l.types.push_back(std::move(dispatch));
        return l;
    }();
    return library;
}

} // namespace platform::com
