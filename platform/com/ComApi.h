#pragma once

#include "platform/com/ComInterfaces.h"

// The component runtime's C functions, exported from libveltplatform.so under
// their standard names so that plain C programs, script bindings and
// components use one process-wide runtime. None of them lets an exception out.
//
// Activation reads the class registry (HKEY_CLASSES_ROOT hive):
//   CLSID\{clsid}\InprocServer32   default value = full path of the module
//   <ProgID>\CLSID                 default value = "{clsid}"
//   <ProgID>\CurVer                default value = the versioned ProgID
// A module is dlopen'ed once per process and kept until CoFreeUnusedLibraries
// finds that its DllCanUnloadNow answers S_OK.
extern "C" {

// The entry points a component module exports.
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID rclsid, REFIID riid, void** ppv);
using LPFNCANUNLOADNOW = HRESULT (*)();
using LPFNREGISTERSERVER = HRESULT (*)();
// UnRegisterTypeLib's type, for modules that look it up at run time
// (dlsym(RTLD_DEFAULT, "UnRegisterTypeLib")) and skip the step when it is absent.
using LPFNUNREGISTERTYPELIB = HRESULT (*)(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind);

// Apartments are counted per thread. The first call gives S_OK, later ones
// S_FALSE; a call with the other threading model gives RPC_E_CHANGED_MODE.
// Every successful call is balanced by one CoUninitialize.
HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
HRESULT CoInitialize(void* pvReserved);
void CoUninitialize();

// Without CoInitializeEx on the calling thread these give CO_E_NOTINITIALIZED.
// Unregistered class: REGDB_E_CLASSNOTREG. A module that cannot be loaded:
// CO_E_DLLNOTFOUND (missing file) or CO_E_ERRORINDLL (not a module, no
// DllGetClassObject); the loader's text then goes to the thread's error object
// and to standard error.
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv);
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid, void** ppv);
void CoFreeUnusedLibraries();

// Puts an object into its running state: always S_OK for in-process objects
// (E_INVALIDARG for null).
HRESULT OleRun(IUnknown* pUnknown);

// ProgID lookups. A ProgID with a CurVer key is followed to its current
// version. ProgIDFromCLSID gives a CoTaskMemAlloc'd string the caller frees.
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in either letter case; a string
// without braces that is a ProgID is looked up as one. Else CO_E_CLASSSTRING.
HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);
// Writes the braced upper-case form (38 characters and the terminator);
// returns the characters written including the terminator, 0 when cchMax < 39.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

void* CoTaskMemAlloc(SIZE_T cb);
void* CoTaskMemRealloc(void* pv, SIZE_T cb);
void CoTaskMemFree(void* pv);

// BSTRs: the byte length is stored before the text, a zero OLECHAR follows it.
// Embedded zeros are kept; SysStringLen of a null BSTR is 0.
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
BSTR SysAllocStringByteLen(const char* psz, UINT len);
INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);
UINT SysStringByteLen(BSTR bstr);

// VARIANTs. VariantClear frees a BSTR and releases an interface it holds (not
// through VT_BYREF). VariantChangeType converts between VT_EMPTY, VT_I2, VT_I4,
// VT_UI4, VT_INT, VT_BOOL, VT_R8 and VT_BSTR (decimal text, "True"/"False" ->
// VT_BOOL is also accepted with VARIANT_ALPHABOOL; numbers out of range give
// DISP_E_OVERFLOW, text that is no number DISP_E_TYPEMISMATCH).
void VariantInit(VARIANTARG* pvarg);
HRESULT VariantClear(VARIANTARG* pvarg);
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);

// Error objects, one current object per thread. GetErrorInfo hands the
// object over and clears the thread's slot (S_FALSE and null when there is none).
HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

// Type libraries in the format of platform/com/TypeLibFormat.h. LoadTypeLib
// reads the description from a module or a .tlb module file (see there).
// Registration writes under HKEY_CLASSES_ROOT:
//   TypeLib\{libid}\<maj>.<min>            default = help string of the library
//   TypeLib\{libid}\<maj>.<min>\<lcid hex>\linux64   default = full path
//   TypeLib\{libid}\<maj>.<min>\FLAGS      default = flags in hex
//   TypeLib\{libid}\<maj>.<min>\HELPDIR    default = help directory
//   Interface\{iid}                        default = interface name, for each
//                                          dual or dispatch interface, with
//                                          ProxyStubClsid32 and TypeLib
//                                          (default = libid, "Version" = "1.0")
// LoadRegTypeLib finds the path for the best matching minor version and locale.
HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib);
HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib);
HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir);
HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind);
// Path registered for the library: a BSTR the caller frees.
HRESULT QueryPathOfRegTypeLib(REFGUID guid, WORD wMaj, WORD wMin, LCID lcid, BSTR* lpbstrPathName);

// Late binding from type information, for IDispatch implementations of dual
// interfaces: DispInvoke (and ITypeInfo::Invoke) converts the arguments to the
// parameter types of the member (BSTR, long, short, unsigned long,
// VARIANT_BOOL, IDispatch*, IUnknown*, pointers to these and VARIANT*), calls
// the vtable slot on pvInstance and puts the [out, retval] value into
// pVarResult. Arguments come in rgvarg in reverse order; a property put takes
// its value as the named argument DISPID_PROPERTYPUT (or positionally).
// Wrong argument count: DISP_E_BADPARAMCOUNT; an argument that does not
// convert: DISP_E_TYPEMISMATCH (or DISP_E_OVERFLOW) with *puArgErr its index in
// rgvarg. A member that fails gives DISP_E_EXCEPTION; pExcepInfo (when given)
// then holds the member's HRESULT in scode and the thread's error object,
// which is taken over; without pExcepInfo the error object stays in place.
HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid);
HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags, DISPPARAMS* pparams,
                   VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr);

} // extern "C"
