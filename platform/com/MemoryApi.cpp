// BSTR and task memory allocation: the C functions of the runtime.
#include "platform/com/ComApi.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The byte count lives in the four bytes before the text.
constexpr size_t kPrefix = sizeof(uint32_t);

BSTR AllocateBytes(const void* data, size_t bytes)
{
    if (bytes > std::numeric_limits<uint32_t>::max() - 8)
        return nullptr;
    // Room for a terminating OLECHAR also after an odd byte count.
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + 3));
    if (!block)
        return nullptr;
    const uint32_t length = static_cast<uint32_t>(bytes);
    std::memcpy(block, &length, kPrefix);
    if (data)
        std::memcpy(block + kPrefix, data, bytes);
    else
        std::memset(block + kPrefix, 0, bytes);
    std::memset(block + kPrefix + bytes, 0, 3);
    return reinterpret_cast<BSTR>(block + kPrefix);
}

uint32_t StoredBytes(BSTR text)
{
    uint32_t length = 0;
    std::memcpy(&length, reinterpret_cast<const unsigned char*>(text) - kPrefix, kPrefix);
    return length;
}

} // namespace

extern "C" {

void* CoTaskMemAlloc(SIZE_T cb)
{
    return std::malloc(cb ? cb : 1);
}

void* CoTaskMemRealloc(void* pv, SIZE_T cb)
{
    return std::realloc(pv, cb ? cb : 1);
}

void CoTaskMemFree(void* pv)
{
    std::free(pv);
}

BSTR SysAllocString(const OLECHAR* psz)
{
    if (!psz)
        return nullptr;
    size_t length = 0;
    while (psz[length])
        ++length;
    return AllocateBytes(psz, length * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui)
{
    return AllocateBytes(strIn, static_cast<size_t>(ui) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* psz, UINT len)
{
    return AllocateBytes(psz, len);
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz)
{
    if (!pbstr)
        return 0;
    BSTR fresh = SysAllocString(psz ? psz : u"");
    if (!fresh)
        return 0;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return 1;
}

void SysFreeString(BSTR bstrString)
{
    if (bstrString)
        std::free(reinterpret_cast<unsigned char*>(bstrString) - kPrefix);
}

UINT SysStringLen(BSTR pbstr)
{
    return pbstr ? StoredBytes(pbstr) / sizeof(OLECHAR) : 0;
}

UINT SysStringByteLen(BSTR bstr)
{
    return bstr ? StoredBytes(bstr) : 0;
}

} // extern "C"
