// The thread's current error object: CreateErrorInfo, SetErrorInfo, GetErrorInfo.
#include "platform/com/CErrorInfo.h"
#include "platform/com/ComApi.h"

#include <new>

namespace {

// Holds the thread's reference and gives it up when the thread ends.
struct ThreadErrorSlot
{
    IErrorInfo* info = nullptr;
    ~ThreadErrorSlot()
    {
        if (info)
            info->Release();
    }
};

thread_local ThreadErrorSlot t_error;

} // namespace

extern "C" {

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo)
{
    if (!pperrinfo)
        return E_INVALIDARG;
    auto* info = new (std::nothrow) CErrorInfo();
    *pperrinfo = info;
    return info ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo)
{
    if (dwReserved != 0)
        return E_INVALIDARG;
    if (perrinfo)
        perrinfo->AddRef();
    IErrorInfo* previous = t_error.info;
    t_error.info = perrinfo;
    if (previous)
        previous->Release();
    return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo)
{
    if (dwReserved != 0 || !pperrinfo)
        return E_INVALIDARG;
    *pperrinfo = t_error.info;
    t_error.info = nullptr;
    return *pperrinfo ? S_OK : S_FALSE;
}

} // extern "C"
