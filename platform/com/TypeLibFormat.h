#pragma once

#include "platform/com/TypeInfoTypes.h"

// The runtime's own type-library format. A component module (or a stand-alone
// ".tlb" file, which is a shared object holding only this record) exports one
// constant VeltTypeLibrary under the C symbol name kVeltTypeLibrarySymbol.
// LoadTypeLib(path) dlopens the file, checks magic and format, copies the
// description and closes the file again; a file that is no module, or a module
// without the symbol, gives TYPE_E_CANTLOADLIBRARY, a bad record
// TYPE_E_INVDATAREAD. The records are plain C aggregates so that they can be
// written as constant data; every text is UTF-8.
//
// Parameter types are VARTYPEs: VT_BSTR is an [in] BSTR, VT_I4 an [in] long,
// VT_BOOL a VARIANT_BOOL, VT_DISPATCH / VT_UNKNOWN interface pointers,
// VT_VARIANT|VT_BYREF a VARIANT*; VT_BYREF marks a pointer, so an
// [out, retval] long* is VT_I4|VT_BYREF with PARAMFLAG_FOUT|PARAMFLAG_FRETVAL.
// Every function returns HRESULT. A property put's value may be unnamed
// (name nullptr). vtableSlot counts from 0 over the whole vtable (IUnknown
// has 0-2, IDispatch 3-6, so the first own slot of a dual interface is 7).
//
// A tiny example: a library with one dual interface and its creatable class.
//
//   static const VeltTlbParam kNameParams[] = {{"pVal", VT_BSTR | VT_BYREF, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
//   static const VeltTlbParam kPutParams[] = {{nullptr, VT_I4, PARAMFLAG_FIN}};
//   static const VeltTlbParam kAddParams[] = {{"lA", VT_I4, PARAMFLAG_FIN}, {"lB", VT_I4, PARAMFLAG_FIN},
//                                             {"plSum", VT_I4 | VT_BYREF, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
//   static const VeltTlbFunc kFuncs[] = {
//       {"Name", 1, INVOKE_PROPERTYGET, 7, 1, kNameParams, "Eigenschaft Name"},
//       {"Size", 2, INVOKE_PROPERTYPUT, 8, 1, kPutParams, "Eigenschaft Size"},
//       {"Add", 3, INVOKE_FUNC, 9, 3, kAddParams, "Methode Add"},
//   };
//   static const VeltTlbImpl kBase[] = {{IID_IDispatch, 0}};
//   static const VeltTlbImpl kImplemented[] = {{IID_IExample, IMPLTYPEFLAG_FDEFAULT}};
//   static const VeltTlbType kTypes[] = {
//       {TKIND_INTERFACE, IID_IExample, "IExample", "IExample-Schnittstelle",
//        TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, 10, 3, kFuncs, 1, kBase},
//       {TKIND_COCLASS, CLSID_Example, "Example", "Example Class", TYPEFLAG_FCANCREATE, 0, 0, nullptr, 1,
//        kImplemented},
//   };
//   extern "C" __attribute__((visibility("default"))) const VeltTypeLibrary VeltTypeLibrary1 = {
//       kVeltTypeLibraryMagic, kVeltTypeLibraryFormat, LIBID_ExampleLib, 1, 0, 0, SYS_WIN64, 0,
//       "EXAMPLELib", "Example 1.0 Typbibliothek", 2, kTypes};
//
// Implementation types (impls) name other types by GUID: for an interface its
// base interface (IID_IDispatch or IID_IUnknown, or an interface of the same
// library), for a coclass the interfaces it implements with IMPLTYPEFLAG_*.

inline constexpr uint32_t kVeltTypeLibraryMagic = 0x424C5456; // "VTLB"
inline constexpr uint32_t kVeltTypeLibraryFormat = 1;
// The exported symbol's name: the module's type library number 1.
inline constexpr const char* kVeltTypeLibrarySymbol = "VeltTypeLibrary1";

extern "C" {

struct VeltTlbParam
{
    const char* name; // nullptr for an unnamed property-put value
    VARTYPE vt;
    USHORT flags; // PARAMFLAG_*
};

struct VeltTlbFunc
{
    const char* name;
    DISPID dispid;
    INVOKEKIND invkind;
    USHORT vtableSlot;
    USHORT paramCount;
    const VeltTlbParam* params;
    const char* helpString;
};

struct VeltTlbImpl
{
    GUID type;
    INT flags; // IMPLTYPEFLAG_* for a coclass, 0 for a base interface
};

struct VeltTlbType
{
    TYPEKIND kind; // TKIND_INTERFACE (dual or custom), TKIND_DISPATCH or TKIND_COCLASS
    GUID guid;
    const char* name;
    const char* helpString;
    WORD typeFlags; // TYPEFLAG_*
    USHORT vtableSlots; // interfaces: the total slot count (IUnknown's included)
    USHORT funcCount;
    const VeltTlbFunc* funcs;
    USHORT implCount;
    const VeltTlbImpl* impls;
};

struct VeltTypeLibrary
{
    uint32_t magic; // kVeltTypeLibraryMagic
    uint32_t format; // kVeltTypeLibraryFormat
    GUID libid;
    WORD majorVersion;
    WORD minorVersion;
    LCID lcid;
    SYSKIND syskind;
    WORD libFlags; // LIBFLAG_*
    const char* name;
    const char* helpString;
    USHORT typeCount;
    const VeltTlbType* types;
};

} // extern "C"
