#include "corvanecom/CAddressSession.h"

#include "platform/internet/InternetConstants.h"

CAddressSession::CAddressSession()
    : InternetSession("VELT Corvane", 1, platform::INTERNET_FLAG_DONT_CACHE)
{
    EnableStatusCallback(true);
}

void CAddressSession::OnStatusCallback(uintptr_t, uint32_t code, const char* info, std::size_t length)
{
    if (code == platform::INTERNET_STATUS_NAME_RESOLVED && info)
        m_strResolvedAddress.assign(info, length);
}
