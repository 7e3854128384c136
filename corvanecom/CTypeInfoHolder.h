#pragma once

#include "platform/com/ComInterfaces.h"

#include <mutex>

// The type information of one interface of a registered type library, loaded on
// first use and kept for the life of the module. A failed load is not kept, so
// registering the library later makes late binding work without a restart.
class CTypeInfoHolder
{
public:
    CTypeInfoHolder(const GUID& libId, WORD major, WORD minor, const IID& iid);
    ~CTypeInfoHolder();
    CTypeInfoHolder(const CTypeInfoHolder&) = delete;
    CTypeInfoHolder& operator=(const CTypeInfoHolder&) = delete;

    // An added reference the caller releases.
    HRESULT GetTypeInfo(LCID lcid, ITypeInfo** info);

private:
    const GUID m_libId;
    const WORD m_major;
    const WORD m_minor;
    const IID m_iid;
    std::mutex m_mutex;
    ITypeInfo* m_info = nullptr;
};
