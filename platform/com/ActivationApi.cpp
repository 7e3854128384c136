// Apartments, activation by class identifier and the ProgID lookups.
#include "platform/com/Apartment.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/com/InprocModules.h"

#include <cstring>

using namespace platform::com;

namespace {

// A ProgID is one key name: no separators, nothing that could walk the hive.
bool IsPlausibleProgId(const std::string& progId)
{
    return !progId.empty() && progId.size() <= 255 && progId.find('\\') == std::string::npos && progId.front() != '{';
}

HRESULT ClsidOfProgId(const std::string& progId, CLSID* clsid)
{
    if (!IsPlausibleProgId(progId))
        return CO_E_CLASSSTRING;
    std::string current = progId;
    // A version-independent ProgID without its own CLSID key names its current version.
    for (int hop = 0; hop < 4; ++hop) {
        if (const auto text = ReadDefaultValue(current + "\\CLSID"))
            return GuidFromString(*text, clsid) ? S_OK : CO_E_CLASSSTRING;
        const auto next = ReadDefaultValue(current + "\\CurVer");
        if (!next || !IsPlausibleProgId(*next) || *next == current)
            break;
        current = *next;
    }
    return CO_E_CLASSSTRING;
}

} // namespace

extern "C" {

HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit)
{
    if (pvReserved)
        return E_INVALIDARG;
    return EnterApartment(dwCoInit);
}

HRESULT CoInitialize(void* pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize()
{
    LeaveApartment();
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (pvReserved)
        return E_INVALIDARG;
    if (!InApartment())
        return CO_E_NOTINITIALIZED;
    // Only in-process servers exist on this platform.
    if ((dwClsContext & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0)
        return REGDB_E_CLASSNOTREG;
    const auto path = InprocServerPath(rclsid);
    if (!path || path->empty())
        return REGDB_E_CLASSNOTREG;
    return InprocModules::Instance().GetClassObject(*path, rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter && !(riid == IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    if (!factory)
        return E_UNEXPECTED;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

void CoFreeUnusedLibraries()
{
    InprocModules::Instance().FreeUnused();
}

HRESULT OleRun(IUnknown* pUnknown)
{
    // An in-process object runs from its creation on.
    return pUnknown ? S_OK : E_INVALIDARG;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid)
{
    if (!lpszProgID || !lpclsid)
        return E_INVALIDARG;
    return ClsidOfProgId(Utf16ToAnsi(lpszProgID), lpclsid);
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID)
{
    if (!lplpszProgID)
        return E_INVALIDARG;
    *lplpszProgID = nullptr;
    const auto progId = ReadDefaultValue("CLSID\\" + GuidToString(clsid) + "\\ProgID");
    if (!progId || progId->empty())
        return REGDB_E_CLASSNOTREG;
    const std::u16string wide = AnsiToUtf16(*progId);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!out)
        return E_OUTOFMEMORY;
    std::memcpy(out, wide.c_str(), (wide.size() + 1) * sizeof(OLECHAR));
    *lplpszProgID = out;
    return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid)
{
    if (!pclsid)
        return E_INVALIDARG;
    if (!lpsz) {
        *pclsid = GUID_NULL;
        return S_OK;
    }
    const std::string text = Utf16ToAnsi(lpsz);
    if (GuidFromString(text, pclsid))
        return S_OK;
    return ClsidOfProgId(text, pclsid);
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    const std::string text = GuidToString(rguid);
    if (!lpsz || cchMax < static_cast<int>(text.size()) + 1)
        return 0;
    for (size_t i = 0; i < text.size(); ++i)
        lpsz[i] = static_cast<OLECHAR>(text[i]);
    lpsz[text.size()] = 0;
    return static_cast<int>(text.size()) + 1;
}

} // extern "C"
