// Type libraries: loading, registration in the class registry, late-binding helpers.
#include "platform/com/BStr.h"
#include "platform/com/CTypeLib.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComStrings.h"
#include "platform/registry/Registry.h"
#include "platform/system/HexDigits.h"

#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <vector>

using namespace platform::com;
namespace reg = platform::registry;

namespace {

// The platform's key beside Windows' "win32"/"win64".
constexpr const char* kPlatformKey = "linux64";
// The automation marshallers Windows names for dual interfaces and dispinterfaces.
constexpr const char* kProxyDual = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kProxyDispatch = "{00020420-0000-0000-C000-000000000046}";

std::string Hex(unsigned value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", value);
    return buffer;
}

std::string LibraryKey(REFGUID libid)
{
    return "TypeLib\\" + GuidToString(libid);
}

std::string VersionName(WORD major, WORD minor)
{
    return Hex(major) + "." + Hex(minor);
}

std::vector<std::string> SubKeys(const std::string& key)
{
    std::vector<std::string> names;
    reg::HKEY handle = nullptr;
    if (reg::RegOpenKey(reg::Root::ClassesRoot, key, reg::Access::Read, &handle) != reg::kSuccess)
        return names;
    std::string name;
    for (uint32_t i = 0; reg::RegEnumKey(handle, i, &name) == reg::kSuccess; ++i)
        names.push_back(name);
    reg::RegCloseKey(handle);
    return names;
}

bool ParseHex(const std::string& text, unsigned* value)
{
    uint32_t v = 0;
    if (text.size() > 4 || !platform::ParseHexDigits(text, &v))
        return false;
    *value = v;
    return true;
}

// The registered "maj.min" key with the requested major version and the
// highest minor version not below the requested one.
std::optional<std::string> FindVersionKey(REFGUID libid, WORD major, WORD minor)
{
    std::optional<std::string> best;
    unsigned bestMinor = 0;
    for (const std::string& name : SubKeys(LibraryKey(libid))) {
        const size_t dot = name.find('.');
        unsigned maj = 0;
        unsigned min = 0;
        if (dot == std::string::npos || !ParseHex(name.substr(0, dot), &maj) || !ParseHex(name.substr(dot + 1), &min))
            continue;
        if (maj == major && min >= minor && (!best || min > bestMinor)) {
            best = name;
            bestMinor = min;
        }
    }
    return best;
}

std::optional<std::string> RegisteredPath(REFGUID libid, WORD major, WORD minor, LCID lcid)
{
    const auto version = FindVersionKey(libid, major, minor);
    if (!version)
        return std::nullopt;
    const std::string base = LibraryKey(libid) + "\\" + *version + "\\";
    // The exact locale, then its primary language, then the neutral one.
    for (const LCID candidate : {lcid, lcid & 0x3FFu, LCID(0)}) {
        if (auto path = ReadDefaultValue(base + Hex(candidate) + "\\" + kPlatformKey); path && !path->empty())
            return path;
    }
    return std::nullopt;
}

bool RegisterInterface(ITypeInfo* info, const std::string& libid, const std::string& version)
{
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)))
        return true;
    const bool automation = attr->typekind == TKIND_DISPATCH
        || (attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)));
    const GUID iid = attr->guid;
    const bool dispatchOnly = attr->typekind == TKIND_DISPATCH;
    info->ReleaseTypeAttr(attr);
    if (!automation)
        return true;
    BStr name;
    info->GetDocumentation(-1, name.Put(), nullptr, nullptr, nullptr);
    const std::string key = "Interface\\" + GuidToString(iid);
    const char* proxy = dispatchOnly ? kProxyDispatch : kProxyDual;
    return WriteDefaultValue(key, name.ToAnsi()) && WriteDefaultValue(key + "\\ProxyStubClsid", proxy)
        && WriteDefaultValue(key + "\\ProxyStubClsid32", proxy) && WriteDefaultValue(key + "\\TypeLib", libid)
        && WriteNamedValue(key + "\\TypeLib", "Version", version);
}

} // namespace

extern "C" {

HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib)
{
    if (!szFile || !pptlib)
        return E_INVALIDARG;
    *pptlib = nullptr;
    auto data = std::make_shared<TlbLibrary>();
    const HRESULT hr = ReadTypeLibraryFile(Utf16ToAnsi(szFile), data.get());
    if (FAILED(hr))
        return hr;
    CTypeLib* library = CTypeLib::Create(std::move(data));
    if (!library)
        return E_OUTOFMEMORY;
    *pptlib = library;
    return S_OK;
}

HRESULT QueryPathOfRegTypeLib(REFGUID guid, WORD wMaj, WORD wMin, LCID lcid, BSTR* lpbstrPathName)
{
    if (!lpbstrPathName)
        return E_INVALIDARG;
    *lpbstrPathName = nullptr;
    const auto path = RegisteredPath(guid, wMaj, wMin, lcid);
    if (!path)
        return TYPE_E_LIBNOTREGISTERED;
    *lpbstrPathName = AnsiToBstr(*path);
    return *lpbstrPathName ? S_OK : E_OUTOFMEMORY;
}

HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib)
{
    if (!pptlib)
        return E_INVALIDARG;
    *pptlib = nullptr;
    BStr path;
    const HRESULT hr = QueryPathOfRegTypeLib(rguid, wVerMajor, wVerMinor, lcid, path.Put());
    if (FAILED(hr))
        return hr;
    return LoadTypeLib(path.Get(), pptlib);
}

HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir)
{
    if (!ptlib || !szFullPath)
        return E_INVALIDARG;
    TLIBATTR* attr = nullptr;
    HRESULT hr = ptlib->GetLibAttr(&attr);
    if (FAILED(hr))
        return hr;
    const TLIBATTR lib = *attr;
    ptlib->ReleaseTLibAttr(attr);
    BStr name;
    BStr doc;
    ptlib->GetDocumentation(-1, name.Put(), doc.Put(), nullptr, nullptr);

    const std::string version = VersionName(lib.wMajorVerNum, lib.wMinorVerNum);
    const std::string base = LibraryKey(lib.guid) + "\\" + version;
    bool ok = WriteDefaultValue(base, doc.Length() ? doc.ToAnsi() : name.ToAnsi())
        && WriteDefaultValue(base + "\\" + Hex(lib.lcid) + "\\" + kPlatformKey, Utf16ToAnsi(szFullPath))
        && WriteDefaultValue(base + "\\FLAGS", Hex(lib.wLibFlags))
        && WriteDefaultValue(base + "\\HELPDIR", szHelpDir ? Utf16ToAnsi(szHelpDir) : std::string());
    const std::string libid = GuidToString(lib.guid);
    const UINT count = ptlib->GetTypeInfoCount();
    for (UINT i = 0; ok && i < count; ++i) {
        ComPtr<ITypeInfo> info;
        if (SUCCEEDED(ptlib->GetTypeInfo(i, info.Put())))
            ok = RegisterInterface(info.Get(), libid, version);
    }
    return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND)
{
    const std::string version = VersionName(wVerMajor, wVerMinor);
    const std::string base = LibraryKey(libID) + "\\" + version;
    if (!ReadDefaultValue(base) && SubKeys(base).empty())
        return TYPE_E_REGISTRYACCESS;
    // The library's interfaces: every Interface key that names this library and version.
    const std::string libid = GuidToString(libID);
    for (const std::string& iid : SubKeys("Interface")) {
        const std::string key = "Interface\\" + iid;
        const auto owner = ReadDefaultValue(key + "\\TypeLib");
        const auto ownerVersion = ReadNamedValue(key + "\\TypeLib", "Version");
        GUID ownerGuid {};
        if (owner && GuidFromString(*owner, &ownerGuid) && ownerGuid == libID && ownerVersion == version)
            DeleteTree(key);
    }
    DeleteTree(base + "\\" + Hex(lcid));
    // The version key goes with its last locale.
    bool otherLocales = false;
    for (const std::string& name : SubKeys(base)) {
        if (!SameName(name, "FLAGS") && !SameName(name, "HELPDIR"))
            otherLocales = true;
    }
    if (!otherLocales)
        DeleteTree(base);
    if (SubKeys(LibraryKey(libID)).empty())
        DeleteTree(LibraryKey(libID));
    return S_OK;
}

HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid)
{
    if (!ptinfo)
        return E_INVALIDARG;
    return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags, DISPPARAMS* pparams,
                   VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr)
{
    if (!ptinfo)
        return E_INVALIDARG;
    return ptinfo->Invoke(_this, dispidMember, wFlags, pparams, pvarResult, pexcepinfo, puArgErr);
}

} // extern "C"
