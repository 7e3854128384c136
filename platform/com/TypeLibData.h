#pragma once

#include "platform/com/TypeLibFormat.h"

#include <string>
#include <vector>

// A type library's description as the runtime keeps it: an owned, checked
// copy of the record a module exports, so the module need not stay loaded.
namespace platform::com {

struct TlbParam
{
    std::string name;
    VARTYPE vt = VT_EMPTY;
    USHORT flags = 0;
};

struct TlbFunc
{
    std::string name;
    DISPID dispid = 0;
    INVOKEKIND invkind = INVOKE_FUNC;
    USHORT vtableSlot = 0;
    std::vector<TlbParam> params;
    std::string helpString;
};

struct TlbImpl
{
    GUID type = GUID_NULL;
    INT flags = 0;
};

struct TlbType
{
    TYPEKIND kind = TKIND_INTERFACE;
    GUID guid = GUID_NULL;
    std::string name;
    std::string helpString;
    WORD typeFlags = 0;
    USHORT vtableSlots = 0;
    std::vector<TlbFunc> funcs;
    std::vector<TlbImpl> impls;
};

struct TlbLibrary
{
    GUID libid = GUID_NULL;
    WORD majorVersion = 0;
    WORD minorVersion = 0;
    LCID lcid = 0;
    SYSKIND syskind = SYS_WIN64;
    WORD libFlags = 0;
    std::string name;
    std::string helpString;
    std::vector<TlbType> types;
};

// Parameters a member may have; DispInvoke passes at most this many.
inline constexpr USHORT kMaxTlbParams = 16;

// Copies the record, checking magic, format, counts and references.
// TYPE_E_INVDATAREAD for a record that breaks the format's rules.
HRESULT CopyTypeLibrary(const VeltTypeLibrary& record, TlbLibrary* out);

// Reads the record from a module file (dlopen + dlsym, closed again).
// TYPE_E_CANTLOADLIBRARY when the file is no module or lacks the record.
HRESULT ReadTypeLibraryFile(const std::string& path, TlbLibrary* out);

// The standard library's IUnknown and IDispatch, which dual interfaces derive from.
const TlbLibrary& StandardTypeLibrary();

// Case-insensitive (ASCII) comparison, as automation names are matched.
bool SameName(std::string_view a, std::string_view b);

} // namespace platform::com
