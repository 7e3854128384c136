#pragma once

#include "platform/internet/InternetSession.h"

#include <string>

// The internet session of one HTTP request of the component: remembers the
// address that the server's name was resolved to.
class CAddressSession : public platform::InternetSession
{
public:
    CAddressSession();

    void OnStatusCallback(uintptr_t context, uint32_t code, const char* info, std::size_t length) override;
    const std::string& ResolvedAddress() const { return m_strResolvedAddress; }

private:
    std::string m_strResolvedAddress;
};
