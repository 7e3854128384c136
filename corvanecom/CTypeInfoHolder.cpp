#include "corvanecom/CTypeInfoHolder.h"

#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"

CTypeInfoHolder::CTypeInfoHolder(const GUID& libId, WORD major, WORD minor, const IID& iid)
    : m_libId(libId)
    , m_major(major)
    , m_minor(minor)
    , m_iid(iid)
{
}

CTypeInfoHolder::~CTypeInfoHolder()
{
    if (m_info)
        m_info->Release();
}

HRESULT CTypeInfoHolder::GetTypeInfo(LCID lcid, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    std::lock_guard lock(m_mutex);
    if (!m_info) {
        ComPtr<ITypeLib> library;
        HRESULT hr = LoadRegTypeLib(m_libId, m_major, m_minor, lcid, library.Put());
        if (FAILED(hr))
            return hr;
        hr = library->GetTypeInfoOfGuid(m_iid, &m_info);
        if (FAILED(hr)) {
            m_info = nullptr;
            return hr;
        }
    }
    m_info->AddRef();
    *info = m_info;
    return S_OK;
}
