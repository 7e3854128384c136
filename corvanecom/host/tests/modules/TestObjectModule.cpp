// A small in-process component for the late-binding tests: the class, its
// factory, its type library and the four module exports.
#include "corvanecom/host/tests/modules/TestObjectIds.h"

#include "platform/com/BStr.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"
#include "platform/com/TypeLibFormat.h"

#include <dlfcn.h>
#include <iterator>
#include <string>

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

using namespace platform::com;

namespace {

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kRetVal = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

const VeltTlbParam kJoin[]
    = {{"bstrText", VT_BSTR, kIn}, {"lCount", VT_I4, kIn}, {"pResult", VT_BSTR | VT_BYREF, kRetVal}};
const VeltTlbParam kAdd[] = {{"lA", VT_I4, kIn}, {"lB", VT_I4, kIn}, {"plSum", VT_I4 | VT_BYREF, kRetVal}};
const VeltTlbParam kTextGet[] = {{"pVal", VT_BSTR | VT_BYREF, kRetVal}};
const VeltTlbParam kTextPut[] = {{nullptr, VT_BSTR, kIn}};
const VeltTlbParam kFail[] = {{"bstrDescription", VT_BSTR, kIn}};

const VeltTlbFunc kFuncs[] = {
    {"Join", 1, INVOKE_FUNC, 7, 3, kJoin, "Methode Join"},
    {"Add", 2, INVOKE_FUNC, 8, 3, kAdd, "Methode Add"},
    {"Name", 4, INVOKE_PROPERTYGET, 9, 1, kTextGet, "Eigenschaft Name"},
    {"Name", 4, INVOKE_PROPERTYPUT, 10, 1, kTextPut, "Eigenschaft Name"},
    {"Fail", 7, INVOKE_FUNC, 11, 1, kFail, "Methode Fail"},
};
const VeltTlbImpl kBase[] = {{IID_IDispatch, 0}};
const VeltTlbImpl kImplemented[] = {{IID_ITestObject, IMPLTYPEFLAG_FDEFAULT}};
const VeltTlbType kTypes[] = {
    {TKIND_INTERFACE, IID_ITestObject, "ITestObject", "ITestObject-Schnittstelle",
     TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, 12, std::size(kFuncs), kFuncs, 1, kBase},
    {TKIND_COCLASS, CLSID_TestObject, "TestObject", "TestObject Class", TYPEFLAG_FCANCREATE, 0, 0, nullptr, 1,
     kImplemented},
};

std::string ModulePath()
{
    Dl_info info {};
    dladdr(reinterpret_cast<void*>(&ModulePath), &info);
    return info.dli_fname ? info.dli_fname : "";
}

// The test class: plain reference counting, IDispatch from the registered
// library. Callers in the tests never pass null out pointers.
class CTestObject final : public ITestObject
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
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
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID lcid, ITypeInfo** ppTInfo) override
    {
        const HRESULT hr = LoadInfo(lcid);
        *ppTInfo = FAILED(hr) ? nullptr : ComPtr<ITypeInfo>(m_info.Get()).Detach();
        return hr;
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
        std::u16string joined;
        for (LONG i = 0; i < lCount; ++i)
            joined.append(bstrText ? bstrText : u"", SysStringLen(bstrText));
        *pResult = SysAllocStringLen(joined.data(), static_cast<UINT>(joined.size()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Add(LONG lA, LONG lB, LONG* plSum) override
    {
        *plSum = lA + lB;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) override
    {
        *pVal = BStr(m_name).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR newVal) override
    {
        m_name.assign(newVal ? newVal : u"", SysStringLen(newVal));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Fail(BSTR bstrDescription) override
    {
        ComPtr<ICreateErrorInfo> create;
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(CreateErrorInfo(create.Put())) && SUCCEEDED(create.As(IID_IErrorInfo, &info))) {
            create->SetSource(const_cast<LPOLESTR>(u"VELT.TestObject.1"));
            create->SetDescription(bstrDescription ? bstrDescription : const_cast<LPOLESTR>(u""));
            SetErrorInfo(0, info.Get());
        }
        return E_FAIL;
    }

private:
    HRESULT LoadInfo(LCID lcid)
    {
        if (m_info)
            return S_OK;
        ComPtr<ITypeLib> library;
        const HRESULT hr = LoadRegTypeLib(LIBID_TestObjectLib, 1, 0, lcid, library.Put());
        return FAILED(hr) ? hr : library->GetTypeInfoOfGuid(IID_ITestObject, m_info.Put());
    }

    ULONG m_refs = 0;
    std::u16string m_name;
    ComPtr<ITypeInfo> m_info;
};

// One static factory; the module stays loaded for the life of the test program.
class CTestFactory final : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == IID_IUnknown || riid == IID_IClassFactory ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** ppv) override
    {
        auto* object = new CTestObject();
        object->AddRef();
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

CTestFactory g_factory;

} // namespace

TEST_EXPORT const VeltTypeLibrary VeltTypeLibrary1
    = {kVeltTypeLibraryMagic, kVeltTypeLibraryFormat,         LIBID_TestObjectLib, 1,     0, 0, SYS_WIN64, 0,
       "TestObjectLib",       "TestObject 1.0 Typbibliothek", std::size(kTypes),   kTypes};

TEST_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    return rclsid == CLSID_TestObject ? g_factory.QueryInterface(riid, ppv) : CLASS_E_CLASSNOTAVAILABLE;
}

TEST_EXPORT HRESULT DllCanUnloadNow()
{
    return S_FALSE;
}

TEST_EXPORT HRESULT DllRegisterServer()
{
    const std::string path = ModulePath();
    if (!WriteDefaultValue("CLSID\\" + GuidToString(CLSID_TestObject) + "\\InprocServer32", path))
        return SELFREG_E_CLASS;
    ComPtr<ITypeLib> library;
    const std::u16string widePath = AnsiToUtf16(path);
    const HRESULT hr = LoadTypeLib(widePath.c_str(), library.Put());
    return FAILED(hr) ? hr : RegisterTypeLib(library.Get(), widePath.c_str(), nullptr);
}

TEST_EXPORT HRESULT DllUnregisterServer()
{
    DeleteTree("CLSID\\" + GuidToString(CLSID_TestObject));
    UnRegisterTypeLib(LIBID_TestObjectLib, 1, 0, 0, SYS_WIN64);
    return S_OK;
}
