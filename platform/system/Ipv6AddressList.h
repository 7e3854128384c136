#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One IPv6 address of an interface as the kernel lists it.
struct Ipv6InterfaceAddress
{
    std::string address; // canonical, without brackets
    int interfaceIndex = 0;
    int prefixLength = 0;
    uint32_t flags = 0; // IFA_F_* (also those above 8 bits)
    unsigned char scope = 0; // RT_SCOPE_*
};

// The computer's IPv6 addresses (rtnetlink); empty when none or when the
// kernel cannot be asked.
std::vector<Ipv6InterfaceAddress> ListIpv6Addresses();

// Whether visitors can be sent to it for longer than a day: global scope,
// not a temporary (privacy) address, not deprecated, tentative or failed.
bool IsStableGlobalAddress(const Ipv6InterfaceAddress& address);

// The stable address to publish for found (the source address of a
// connection): found itself when it is stable, else a stable address with
// the same /64 prefix on the same interface; none when there is no such one.
std::optional<std::string> ChooseStableAddress(std::string_view found,
                                               const std::vector<Ipv6InterfaceAddress>& addresses);

// Any stable global address of the computer; none when it has none.
std::optional<std::string> AnyStableGlobalAddress(const std::vector<Ipv6InterfaceAddress>& addresses);

// Whether a notice about an address with these flags can change what is
// published: temporary addresses come and go every few hours and never are.
bool IsPublishableAddressChange(int family, uint32_t flags);

} // namespace platform
