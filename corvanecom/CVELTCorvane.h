#pragma once

#include "corvanecom/CTimeoutSocket.h"
#include "corvanecom/ComGuard.h"
#include "corvanecom/IVELTCorvane.h"

#include <string>

// The component's one creatable class: blocking network operations for scripts
// behind IVELTCorvane, every failure reported as an HRESULT and an error object
// with a German description. Lives in the apartment of the thread that created
// it; can be aggregated.
class CVELTCorvane final : public ISupportErrorInfo, public IConnectionPointContainer, public IVELTCorvane
{
public:
    static constexpr LONG kDefaultTimeoutInSec = 10;
    static constexpr LONG kMaxTimeoutInSec = 30;

    // outer: the controlling unknown of an aggregate, or nullptr.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // IUnknown, delegating to the controlling unknown.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // IConnectionPointContainer: a source interface is declared, no point offered.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // IDispatch, from the registered type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IVELTCorvane
    HRESULT STDMETHODCALLTYPE TestConnect(BSTR bstrUrl, LONG* bOk) override;
    HRESULT STDMETHODCALLTYPE get_SocketAddress(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_PeerAddress(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE CancelBlockingCall() override;
    HRESULT STDMETHODCALLTYPE get_LastErrorMsg(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_TimeoutInSec(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_TimeoutInSec(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE Connect(BSTR bstrHostAddress, LONG lHostPort, LONG* bOk) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE get_SocketPort(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_PeerPort(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE SendCmdAndReceive(BSTR bstrCmd, BSTR* bstrResponse) override;
    HRESULT STDMETHODCALLTYPE Receive(LONG lMaxMsgSizeInKB, BSTR* bstrResponse) override;
    HRESULT STDMETHODCALLTYPE Send(BSTR bstrCmd, LONG* bOk) override;
    HRESULT STDMETHODCALLTYPE get_DataToReceiveAvailable(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE SendHttpRequest(BSTR bstrRequestUrl, BSTR* bstrResponse) override;
    HRESULT STDMETHODCALLTYPE get_ServerAddress(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_ResponseHeaders(BSTR* pVal) override;

private:
    // The object's own, non-delegating IUnknown: the identity an aggregate's outer
    // object holds, and the one a stand-alone object hands out.
    struct InnerUnknown final : IUnknown
    {
        CVELTCorvane* owner;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
    };

    explicit CVELTCorvane(IUnknown* outer);
    ~CVELTCorvane();
    CVELTCorvane(const CVELTCorvane&) = delete;
    CVELTCorvane& operator=(const CVELTCorvane&) = delete;

    HRESULT InnerQueryInterface(REFIID riid, void** ppvObject);
    // Fails with the message, as every operation does: error object plus HRESULT.
    static HRESULT Fail(HRESULT hr, const std::string& message);
    static HRESULT ReturnText(const std::string& text, BSTR* out);
    // The shape of every operation with an out parameter: a null pointer is
    // E_POINTER, the body runs under ComGuard.
    template<typename Out, typename Body>
    static HRESULT Guarded(Out* out, Body&& body)
    {
        if (!out)
            return E_POINTER;
        return ComGuard(body);
    }
    // A text property: text() runs under the guard, its result becomes a new BSTR.
    template<typename Text>
    static HRESULT GetText(BSTR* out, Text&& text)
    {
        return Guarded(out, [&]() -> HRESULT { return ReturnText(text(), out); });
    }

    InnerUnknown m_inner;
    IUnknown* m_pOuter; // the controlling unknown: the aggregate's outer object or m_inner
    // Apartment-bound object: a plain counter.
    ULONG m_refs = 0;
    std::string m_strServerAddress;
    std::string m_strResponseHeaders;
    LONG m_nTimeoutInSec = kDefaultTimeoutInSec;
    CTimeoutSocket m_socket;
};
