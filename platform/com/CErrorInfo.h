#pragma once

#include "platform/com/ComInterfaces.h"

#include <atomic>
#include <string>

// The runtime's error object: filled through ICreateErrorInfo, read through IErrorInfo.
class CErrorInfo final : public IErrorInfo, public ICreateErrorInfo
{
public:
    CErrorInfo() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) override;
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* pBstrSource) override;
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* pBstrDescription) override;
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* pBstrHelpFile) override;
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* pdwHelpContext) override;

    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override;
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) override;
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) override;
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) override;
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) override;

private:
    ~CErrorInfo() = default;

    // Error objects may be handed between threads, so the count is atomic.
    std::atomic<ULONG> m_refs {1};
    GUID m_guid = GUID_NULL;
    std::u16string m_source;
    std::u16string m_description;
    std::u16string m_helpFile;
    DWORD m_helpContext = 0;
};
