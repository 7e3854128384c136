#pragma once

#include "platform/com/ComInterfaces.h"

// The component's dual automation interface. Slot numbers are binding (3 of
// IUnknown, 4 of IDispatch, 18 own: 25 in all); never reorder or insert.
// Flags (bOk, DataToReceiveAvailable) are 32-bit: 1 means yes. Out values are
// written only on success.
struct IVELTCorvane : IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE TestConnect(BSTR bstrUrl, LONG* bOk) = 0; // 7
    virtual HRESULT STDMETHODCALLTYPE get_SocketAddress(BSTR* pVal) = 0; // 8
    virtual HRESULT STDMETHODCALLTYPE get_PeerAddress(BSTR* pVal) = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE CancelBlockingCall() = 0; // 10
    virtual HRESULT STDMETHODCALLTYPE get_LastErrorMsg(BSTR* pVal) = 0; // 11
    virtual HRESULT STDMETHODCALLTYPE get_TimeoutInSec(LONG* pVal) = 0; // 12
    virtual HRESULT STDMETHODCALLTYPE put_TimeoutInSec(LONG newVal) = 0; // 13
    virtual HRESULT STDMETHODCALLTYPE Connect(BSTR bstrHostAddress, LONG lHostPort, LONG* bOk) = 0; // 14
    virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0; // 15
    virtual HRESULT STDMETHODCALLTYPE get_SocketPort(LONG* pVal) = 0; // 16
    virtual HRESULT STDMETHODCALLTYPE get_PeerPort(LONG* pVal) = 0; // 17
    virtual HRESULT STDMETHODCALLTYPE SendCmdAndReceive(BSTR bstrCmd, BSTR* bstrResponse) = 0; // 18
    virtual HRESULT STDMETHODCALLTYPE Receive(LONG lMaxMsgSizeInKB, BSTR* bstrResponse) = 0; // 19
    virtual HRESULT STDMETHODCALLTYPE Send(BSTR bstrCmd, LONG* bOk) = 0; // 20
    virtual HRESULT STDMETHODCALLTYPE get_DataToReceiveAvailable(LONG* pVal) = 0; // 21
    virtual HRESULT STDMETHODCALLTYPE SendHttpRequest(BSTR bstrRequestUrl, BSTR* bstrResponse) = 0; // 22
    virtual HRESULT STDMETHODCALLTYPE get_ServerAddress(BSTR* pVal) = 0; // 23
    virtual HRESULT STDMETHODCALLTYPE get_ResponseHeaders(BSTR* pVal) = 0; // 24
};
