#include "corvanecom/CVELTCorvane.h"

#include "corvanecom/CEmptyConnectionPointEnum.h"
#include "corvanecom/CTypeInfoHolder.h"
#include "corvanecom/ComGuard.h"
#include "corvanecom/CorvaneIds.h"
#include "corvanecom/CorvaneMessages.h"
#include "corvanecom/ErrorReport.h"
#include "corvanecom/HttpGet.h"
#include "corvanecom/ModuleState.h"
#include "platform/com/ComApi.h"
#include "platform/com/ComStrings.h"
#include "platform/url/InternetUrl.h"

#include <new>

using platform::com::AnsiToBstr;
using platform::com::BstrToAnsi;
namespace msg = corvane::messages;

namespace {

CTypeInfoHolder& DispatchTypeInfo()
{
    static CTypeInfoHolder holder(corvane::LIBID_CORVANECOMLib, corvane::kTypeLibMajor, corvane::kTypeLibMinor,
                                  corvane::IID_IVELTCorvane);
    return holder;
}

// Late binding runs through the registered type library; only IID_NULL is a
// valid interface there.
template<typename Use>
HRESULT WithDispatchTypeInfo(REFIID riid, LCID lcid, Use&& use)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    const HRESULT hr = DispatchTypeInfo().GetTypeInfo(lcid, &info);
    if (FAILED(hr))
        return hr;
    const HRESULT result = use(info);
    info->Release();
    return result;
}

bool StartsWithHttpScheme(const std::string& url)
{
    static constexpr char kScheme[] = "http://";
    if (url.size() < 7)
        return false;
    for (size_t i = 0; i < 7; ++i) {
        char c = url[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kScheme[i])
            return false;
    }
    return true;
}

} // namespace

// ---- lifetime and identity ----

CVELTCorvane::CVELTCorvane(IUnknown* outer)
    : m_pOuter(outer ? outer : &m_inner)
{
    m_inner.owner = this;
    corvane::LockModule();
}

CVELTCorvane::~CVELTCorvane()
{
    corvane::UnlockModule();
}

HRESULT CVELTCorvane::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    // An aggregate's outer object must hold the inner IUnknown, nothing else.
    if (outer && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) CVELTCorvane(outer);
    if (!object)
        return E_OUTOFMEMORY;
    // Hold the object while asking, so that a failed question destroys it.
    object->m_inner.AddRef();
    const HRESULT hr = object->InnerQueryInterface(riid, ppv);
    object->m_inner.Release();
    return hr;
}

HRESULT CVELTCorvane::InnerQueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    IUnknown* found = nullptr;
    if (riid == IID_IUnknown)
        found = &m_inner;
    else if (riid == corvane::IID_IVELTCorvane || riid == IID_IDispatch)
        found = static_cast<IVELTCorvane*>(this);
    else if (riid == IID_ISupportErrorInfo)
        found = static_cast<ISupportErrorInfo*>(this);
    else if (riid == IID_IConnectionPointContainer)
        found = static_cast<IConnectionPointContainer*>(this);
    if (!found) {
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    found->AddRef();
    *ppvObject = found;
    return S_OK;
}

HRESULT CVELTCorvane::InnerUnknown::QueryInterface(REFIID riid, void** ppvObject)
{
    return owner->InnerQueryInterface(riid, ppvObject);
}

ULONG CVELTCorvane::InnerUnknown::AddRef()
{
    return ++owner->m_refs;
}

ULONG CVELTCorvane::InnerUnknown::Release()
{
    const ULONG refs = --owner->m_refs;
    if (refs == 0)
        delete owner; // the socket closes without shutdown, its timer stops
    return refs;
}

HRESULT CVELTCorvane::QueryInterface(REFIID riid, void** ppvObject)
{
    return m_pOuter->QueryInterface(riid, ppvObject);
}

ULONG CVELTCorvane::AddRef()
{
    return m_pOuter->AddRef();
}

ULONG CVELTCorvane::Release()
{
    return m_pOuter->Release();
}

// ---- error reporting, connection points, late binding ----

HRESULT CVELTCorvane::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == corvane::IID_IVELTCorvane ? S_OK : S_FALSE;
}

HRESULT CVELTCorvane::EnumConnectionPoints(IEnumConnectionPoints** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    return CEmptyConnectionPointEnum::Create(ppEnum);
}

HRESULT CVELTCorvane::FindConnectionPoint(REFIID, IConnectionPoint** ppCP)
{
    if (!ppCP)
        return E_POINTER;
    *ppCP = nullptr;
    return CONNECT_E_NOCONNECTION;
}

HRESULT CVELTCorvane::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT CVELTCorvane::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo)
{
    if (!ppTInfo)
        return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0)
        return DISP_E_BADINDEX;
    return DispatchTypeInfo().GetTypeInfo(lcid, ppTInfo);
}

HRESULT CVELTCorvane::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId)
{
    return WithDispatchTypeInfo(riid, lcid,
                                [&](ITypeInfo* info) { return DispGetIDsOfNames(info, rgszNames, cNames, rgDispId); });
}

HRESULT CVELTCorvane::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                             VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    return WithDispatchTypeInfo(riid, lcid, [&](ITypeInfo* info) {
        return DispInvoke(static_cast<IVELTCorvane*>(this), info, dispIdMember, wFlags, pDispParams, pVarResult,
                          pExcepInfo, puArgErr);
    });
}

// ---- helpers ----

HRESULT CVELTCorvane::Fail(HRESULT hr, const std::string& message)
{
    corvane::ReportError(message);
    return hr;
}

HRESULT CVELTCorvane::ReturnText(const std::string& text, BSTR* out)
{
    BSTR value = AnsiToBstr(text);
    if (!value)
        return E_OUTOFMEMORY;
    *out = value;
    return S_OK;
}

// ---- properties ----

HRESULT CVELTCorvane::get_SocketAddress(BSTR* pVal)
{
    return GetText(pVal, [&] { return m_socket.SocketAddress(); });
}

HRESULT CVELTCorvane::get_PeerAddress(BSTR* pVal)
{
    return GetText(pVal, [&] { return m_socket.PeerAddress(); });
}

HRESULT CVELTCorvane::get_SocketPort(LONG* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = static_cast<LONG>(m_socket.SocketPort());
    return S_OK;
}

HRESULT CVELTCorvane::get_PeerPort(LONG* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = static_cast<LONG>(m_socket.PeerPort());
    return S_OK;
}

HRESULT CVELTCorvane::get_DataToReceiveAvailable(LONG* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_socket.DataAvailable();
    return S_OK;
}

HRESULT CVELTCorvane::get_LastErrorMsg(BSTR* pVal)
{
    return GetText(pVal, [&] { return m_socket.GetLastErrorText(); });
}

HRESULT CVELTCorvane::get_TimeoutInSec(LONG* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_nTimeoutInSec;
    return S_OK;
}

HRESULT CVELTCorvane::put_TimeoutInSec(LONG newVal)
{
    return ComGuard([&]() -> HRESULT {
        if (newVal < 0 || newVal > kMaxTimeoutInSec)
            return Fail(E_INVALIDARG, msg::kTimeoutRange);
        m_nTimeoutInSec = newVal;
        return S_OK;
    });
}

HRESULT CVELTCorvane::get_ServerAddress(BSTR* pVal)
{
    return GetText(pVal, [&] { return m_strServerAddress; });
}

HRESULT CVELTCorvane::get_ResponseHeaders(BSTR* pVal)
{
    return GetText(pVal, [&] { return m_strResponseHeaders; });
}

// ---- socket channel ----

HRESULT CVELTCorvane::CancelBlockingCall()
{
    m_socket.CancelBlockingCall();
    return S_OK;
}

HRESULT CVELTCorvane::Connect(BSTR bstrHostAddress, LONG lHostPort, LONG* bOk)
{
    return Guarded(bOk, [&]() -> HRESULT {
        const std::string host = BstrToAnsi(bstrHostAddress);
        if (host.empty())
            return Fail(E_INVALIDARG, msg::kNoHost);
        if (lHostPort < 1 || lHostPort > 65535)
            return Fail(E_INVALIDARG, msg::kBadPort);
        if (!m_socket.ConnectTo(host, static_cast<unsigned>(lHostPort), m_nTimeoutInSec))
            return Fail(E_FAIL, msg::ConnectFailed(host, lHostPort, m_socket.GetLastErrorText()));
        *bOk = 1;
        return S_OK;
    });
}

HRESULT CVELTCorvane::Disconnect()
{
    m_socket.ShutDown(CTimeoutSocket::both);
    m_socket.Close();
    return S_OK;
}

HRESULT CVELTCorvane::Send(BSTR bstrCmd, LONG* bOk)
{
    return Guarded(bOk, [&]() -> HRESULT {
        const std::string command = BstrToAnsi(bstrCmd);
        if (command.empty())
            return Fail(E_INVALIDARG, msg::kNoCommand);
        if (!m_socket.SendText(command, m_nTimeoutInSec))
            return Fail(E_FAIL, msg::SendFailed(command, m_socket.GetLastErrorText()));
        *bOk = 1;
        return S_OK;
    });
}

HRESULT CVELTCorvane::Receive(LONG lMaxMsgSizeInKB, BSTR* bstrResponse)
{
    return Guarded(bstrResponse, [&]() -> HRESULT {
        if (lMaxMsgSizeInKB < 1 || lMaxMsgSizeInKB > 32768)
            return Fail(E_INVALIDARG, msg::kReceiveSizeRange);
        std::string answer;
        if (!m_socket.ReceiveText(answer, lMaxMsgSizeInKB, m_nTimeoutInSec))
            return Fail(E_FAIL, msg::ReceiveFailed(answer, m_socket.GetLastErrorText()));
        return ReturnText(answer, bstrResponse);
    });
}

HRESULT CVELTCorvane::SendCmdAndReceive(BSTR bstrCmd, BSTR* bstrResponse)
{
    return Guarded(bstrResponse, [&]() -> HRESULT {
        const std::string command = BstrToAnsi(bstrCmd);
        if (command.empty())
            return Fail(E_INVALIDARG, msg::kNoCommand);
        std::string answer;
        if (!m_socket.SendAndReceive(command, answer, m_nTimeoutInSec))
            return Fail(E_FAIL, msg::SendOrReceiveFailed(command, m_socket.GetLastErrorText()));
        return ReturnText(answer, bstrResponse);
    });
}

// ---- URLs ----

HRESULT CVELTCorvane::TestConnect(BSTR bstrUrl, LONG* bOk)
{
    return Guarded(bOk, [&]() -> HRESULT {
        const std::string url = BstrToAnsi(bstrUrl);
        if (url.empty())
            return Fail(E_INVALIDARG, msg::kNoServer);
        platform::InternetUrl parts;
        if (!platform::ParseInternetUrl(url, parts))
            return Fail(E_FAIL, msg::kUrlNotResolved);
        // Any scheme the parser knows will do: only its host and port are used.
        if (!m_socket.ConnectAndClose(parts.server, parts.port, m_nTimeoutInSec))
            return Fail(E_FAIL, msg::ConnectFailed(parts.server, parts.port, m_socket.GetLastErrorText()));
        *bOk = 1;
        return S_OK;
    });
}

HRESULT CVELTCorvane::SendHttpRequest(BSTR bstrRequestUrl, BSTR* bstrResponse)
{
    return ComGuard([&]() -> HRESULT {
        m_strResponseHeaders.clear();
        if (!bstrResponse)
            return E_POINTER;
        std::string url = BstrToAnsi(bstrRequestUrl);
        if (url.empty())
            return E_INVALIDARG;
        if (!StartsWithHttpScheme(url))
            url.insert(0, "http://");
        std::string errorText;
        std::string body;
        if (!corvane::HttpGet(url, errorText, m_strResponseHeaders, body, m_strServerAddress, m_nTimeoutInSec))
            return Fail(E_FAIL, errorText);
        return ReturnText(body, bstrResponse);
    });
}
