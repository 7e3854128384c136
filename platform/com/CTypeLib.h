#pragma once

#include "platform/com/ComInterfaces.h"
#include "platform/com/TypeLibData.h"

#include <atomic>
#include <memory>

// ITypeLib over a type library description the runtime has loaded.
class CTypeLib final : public ITypeLib
{
public:
    // A new library object with one reference.
    static CTypeLib* Create(std::shared_ptr<const platform::com::TlbLibrary> data);
    // The standard library (IUnknown, IDispatch), with one reference.
    static CTypeLib* Standard();

    const platform::com::TlbLibrary& Data() const { return *m_data; }
    // The type info of the type with that index, or of a referenced type
    // (same library: the index; standard library: kStandardRef | index).
    HRESULT TypeInfoOf(HREFTYPE ref, ITypeInfo** out);
    // The reference for a type named by GUID, looked up here and then in the
    // standard library. False when neither knows it.
    bool RefOf(REFGUID guid, HREFTYPE* ref) const;
    static constexpr HREFTYPE kStandardRef = 0x80000000u;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    UINT STDMETHODCALLTYPE GetTypeInfoCount() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override;
    HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                               BSTR* pBstrHelpFile) override;
    HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName) override;
    HRESULT STDMETHODCALLTYPE FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                                       USHORT* pcFound) override;
    void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) override;

private:
    explicit CTypeLib(std::shared_ptr<const platform::com::TlbLibrary> data);
    ~CTypeLib() = default;

    std::atomic<ULONG> m_refs {1};
    std::shared_ptr<const platform::com::TlbLibrary> m_data;
};
