// A small in-process component for the runtime's tests: the class, its
// factory, its type library and the four module exports.
#include "corvanecom/host/tests/modules/TestObjectIds.h"

#include "platform/com/BStr.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"
#include "platform/com/TypeLibFormat.h"

#include <atomic>
#include <dlfcn.h>
#include <new>
#include <string>

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

using namespace platform::com;

namespace {

std::atomic<int> g_locks {0};

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
constexpr USHORT kRetVal = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

const VeltTlbParam kJoin[]
    = {{"bstrText", VT_BSTR, kIn}, {"lCount", VT_I4, kIn}, {"pResult", VT_BSTR | VT_BYREF, kRetVal}};
const VeltTlbParam kAdd[] = {{"lA", VT_I4, kIn}, {"lB", VT_I4, kIn}, {"plSum", VT_I4 | VT_BYREF, kRetVal}};
const VeltTlbParam kLongGet[] = {{"pVal", VT_I4 | VT_BYREF, kRetVal}};
const VeltTlbParam kLongPut[] = {{nullptr, VT_I4, kIn}};
const VeltTlbParam kTextGet[] = {{"pVal", VT_BSTR | VT_BYREF, kRetVal}};
const VeltTlbParam kTextPut[] = {{nullptr, VT_BSTR, kIn}};
const VeltTlbParam kTwice[] = {{"plValue", VT_I4 | VT_BYREF, kInOut}, {"pbstrText", VT_BSTR | VT_BYREF, kInOut}};
const VeltTlbParam kNegate[] = {{"bValue", VT_BOOL, kIn}, {"pResult", VT_BOOL | VT_BYREF, kRetVal}};
const VeltTlbParam kFail[] = {{"bstrDescription", VT_BSTR, kIn}};
const VeltTlbParam kSelf[] = {{"ppSelf", VT_DISPATCH | VT_BYREF, kRetVal}};
const VeltTlbParam kDescribe[] = {{"pvarValue", VT_VARIANT | VT_BYREF, kIn}, {"pResult", VT_BSTR | VT_BYREF, kRetVal}};
const VeltTlbParam kSum8[] = {{"a", VT_I4, kIn}, {"b", VT_I4, kIn}, {"c", VT_I4, kIn},
                              {"d", VT_I4, kIn}, {"e", VT_I4, kIn}, {"f", VT_I4, kIn},
                              {"g", VT_I4, kIn}, {"h", VT_I4, kIn}, {"plSum", VT_I4 | VT_BYREF, kRetVal}};

const VeltTlbFunc kFuncs[] = {
    {"Join", 1, INVOKE_FUNC, 7, 3, kJoin, "Methode Join"},
    {"Add", 2, INVOKE_FUNC, 8, 3, kAdd, "Methode Add"},
    {"Value", 3, INVOKE_PROPERTYGET, 9, 1, kLongGet, "Eigenschaft Value"},
    {"Value", 3, INVOKE_PROPERTYPUT, 10, 1, kLongPut, "Eigenschaft Value"},
    {"Name", 4, INVOKE_PROPERTYGET, 11, 1, kTextGet, "Eigenschaft Name"},
    {"Name", 4, INVOKE_PROPERTYPUT, 12, 1, kTextPut, "Eigenschaft Name"},
    {"Twice", 5, INVOKE_FUNC, 13, 2, kTwice, "Methode Twice"},
    {"Negate", 6, INVOKE_FUNC, 14, 2, kNegate, "Methode Negate"},
    {"Fail", 7, INVOKE_FUNC, 15, 1, kFail, "Methode Fail"},
    {"Self", 8, INVOKE_FUNC, 16, 1, kSelf, "Methode Self"},
    {"Describe", 9, INVOKE_FUNC, 17, 2, kDescribe, "Methode Describe"},
    {"Sum8", 10, INVOKE_FUNC, 18, 9, kSum8, "Methode Sum8"},
};
const VeltTlbImpl kBase[] = {{IID_IDispatch, 0}};
const VeltTlbImpl kImplemented[] = {{IID_ITestObject, IMPLTYPEFLAG_FDEFAULT}};
const VeltTlbType kTypes[] = {
    {TKIND_INTERFACE, IID_ITestObject, "ITestObject", "ITestObject-Schnittstelle",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, 19, sizeof kFuncs / sizeof kFuncs[0], kFuncs, 1,
     kBase},
    {TKIND_COCLASS, CLSID_TestObject, "TestObject", "TestObject Class", TYPEFLAG_FCANCREATE, 0, 0, nullptr, 1,
     kImplemented},
};

std::string ModulePath()
{
    Dl_info info {};
    dladdr(reinterpret_cast<void*>(&ModulePath), &info);
    return info.dli_fname ? info.dli_fname : "";
}

// The test class: plain reference counting, IDispatch from the registered library.
class CTestObject final : public ITestObject
{
public:
    CTestObject() { ++g_locks; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITestObject) {
            *ppv = static_cast<ITestObject*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** ppTInfo) override
    {
        if (!ppTInfo)
            return E_POINTER;
        *ppTInfo = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        const HRESULT hr = LoadInfo(lcid);
        if (FAILED(hr))
            return hr;
        *ppTInfo = ComPtr<ITypeInfo>(m_info.Get()).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override
    {
        const HRESULT hr = LoadInfo(lcid);
        return FAILED(hr) ? hr : DispGetIDsOfNames(m_info.Get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override
    {
        const HRESULT hr = LoadInfo(lcid);
        return FAILED(hr)
            ? hr
            : DispInvoke(static_cast<ITestObject*>(this), m_info.Get(), id, flags, params, result, excep, argErr);
    }

    HRESULT STDMETHODCALLTYPE Join(BSTR bstrText, LONG lCount, BSTR* pResult) override
    {
        if (!pResult)
            return E_POINTER;
        if (lCount < 0)
            return Report(u"Anzahl ist ungültig!", E_INVALIDARG);
        std::u16string joined;
        for (LONG i = 0; i < lCount; ++i)
            joined.append(bstrText ? bstrText : u"", SysStringLen(bstrText));
        *pResult = SysAllocStringLen(joined.data(), static_cast<UINT>(joined.size()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Add(LONG lA, LONG lB, LONG* plSum) override
    {
        if (!plSum)
            return E_POINTER;
        *plSum = lA + lB;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Value(LONG* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = m_value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Value(LONG newVal) override
    {
        m_value = newVal;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) override
    {
        if (!pVal)
            return E_POINTER;
        *pVal = BStr(m_name).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR newVal) override
    {
        m_name.assign(newVal ? newVal : u"", SysStringLen(newVal));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Twice(LONG* plValue, BSTR* pbstrText) override
    {
        if (!plValue || !pbstrText)
            return E_POINTER;
        *plValue *= 2;
        BStr text = BStr::Attach(*pbstrText);
        std::u16string doubled(text.View());
        doubled += text.View();
        *pbstrText = BStr(doubled).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Negate(VARIANT_BOOL bValue, VARIANT_BOOL* pResult) override
    {
        if (!pResult)
            return E_POINTER;
        *pResult = bValue ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Fail(BSTR bstrDescription) override
    {
        return Report(bstrDescription ? bstrDescription : u"", E_FAIL);
    }
    HRESULT STDMETHODCALLTYPE Self(IDispatch** ppSelf) override
    {
        if (!ppSelf)
            return E_POINTER;
        AddRef();
        *ppSelf = this;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Describe(VARIANT* pvarValue, BSTR* pResult) override
    {
        if (!pResult)
            return E_POINTER;
        if (!pvarValue)
            return E_INVALIDARG;
        VARIANT text;
        VariantInit(&text);
        std::string value = "?";
        if (SUCCEEDED(VariantChangeType(&text, pvarValue, 0, VT_BSTR)))
            value = BstrToAnsi(text.bstrVal);
        VariantClear(&text);
        *pResult = AnsiToBstr(std::to_string(pvarValue->vt) + ":" + value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Sum8(LONG a, LONG b, LONG c, LONG d, LONG e, LONG f, LONG g, LONG h, LONG* plSum) override
    {
        if (!plSum)
            return E_POINTER;
        // Weighted, so that arguments in the wrong places give a different sum.
        *plSum = a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g + 8 * h;
        return S_OK;
    }

private:
    ~CTestObject() { --g_locks; }

    HRESULT LoadInfo(LCID lcid)
    {
        if (m_info)
            return S_OK;
        ComPtr<ITypeLib> library;
        const HRESULT hr = LoadRegTypeLib(LIBID_TestObjectLib, 1, 0, lcid, library.Put());
        if (FAILED(hr))
            return hr;
        return library->GetTypeInfoOfGuid(IID_ITestObject, m_info.Put());
    }

    static HRESULT Report(const char16_t* description, HRESULT hr)
    {
        ComPtr<ICreateErrorInfo> create;
        if (SUCCEEDED(CreateErrorInfo(create.Put()))) {
            create->SetSource(const_cast<LPOLESTR>(u"VELT.TestObject.1"));
            create->SetDescription(const_cast<LPOLESTR>(description));
            ComPtr<IErrorInfo> info;
            if (SUCCEEDED(create.As(IID_IErrorInfo, &info)))
                SetErrorInfo(0, info.Get());
        }
        return hr;
    }

    ULONG m_refs = 0;
    LONG m_value = 0;
    std::u16string m_name;
    ComPtr<ITypeInfo> m_info;
};

// One static factory: it locks the module while a client holds it.
class CTestFactory final : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        ++g_locks;
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        --g_locks;
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) CTestObject();
        if (!object)
            return E_OUTOFMEMORY;
        object->AddRef();
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }
};

CTestFactory g_factory;

} // namespace

TEST_EXPORT const VeltTypeLibrary VeltTypeLibrary1 = {kVeltTypeLibraryMagic,
                                                      kVeltTypeLibraryFormat,
                                                      LIBID_TestObjectLib,
                                                      1,
                                                      0,
                                                      0,
                                                      SYS_WIN64,
                                                      0,
                                                      "TestObjectLib",
                                                      "TestObject 1.0 Typbibliothek",
                                                      sizeof kTypes / sizeof kTypes[0],
                                                      kTypes};

TEST_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!(rclsid == CLSID_TestObject))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

TEST_EXPORT HRESULT DllCanUnloadNow()
{
    return g_locks.load() == 0 ? S_OK : S_FALSE;
}

TEST_EXPORT HRESULT DllRegisterServer()
{
    const std::string clsid = GuidToString(CLSID_TestObject);
    const std::string key = std::string("CLSID\\") + clsid;
    const std::string path = ModulePath();
    const bool ok = WriteDefaultValue(kTestProgId, "TestObject Class")
        && WriteDefaultValue(std::string(kTestProgId) + "\\CLSID", clsid)
        && WriteDefaultValue(kTestIndependentProgId, "TestObject Class")
        && WriteDefaultValue(std::string(kTestIndependentProgId) + "\\CLSID", clsid)
        && WriteDefaultValue(std::string(kTestIndependentProgId) + "\\CurVer", kTestProgId)
        && WriteDefaultValue(key, "TestObject Class") && WriteDefaultValue(key + "\\ProgID", kTestProgId)
        && WriteDefaultValue(key + "\\InprocServer32", path)
        && WriteNamedValue(key + "\\InprocServer32", "ThreadingModel", "Apartment");
    if (!ok)
        return SELFREG_E_CLASS;
    ComPtr<ITypeLib> library;
    const std::u16string widePath = AnsiToUtf16(path);
    HRESULT hr = LoadTypeLib(widePath.c_str(), library.Put());
    if (FAILED(hr))
        return hr;
    const std::u16string helpDir = AnsiToUtf16(path.substr(0, path.find_last_of('/') + 1));
    return RegisterTypeLib(library.Get(), widePath.c_str(), helpDir.c_str());
}

TEST_EXPORT HRESULT DllUnregisterServer()
{
    DeleteTree(std::string("CLSID\\") + GuidToString(CLSID_TestObject));
    DeleteTree(kTestProgId);
    DeleteTree(kTestIndependentProgId);
    UnRegisterTypeLib(LIBID_TestObjectLib, 1, 0, 0, SYS_WIN64);
    return S_OK;
}
