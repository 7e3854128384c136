#pragma once

#include <optional>
#include <string>
#include <string_view>

// Texts of IP addresses in one form, so that two spellings of the same
// address compare equal and an address is published the same way each time.
namespace platform {

// The RFC 5952 form of an IPv6 address (lower case, leading zeros dropped,
// the longest run of two or more zero groups as "::", the first of equal
// runs; an IPv4-mapped address ends in the dotted form); none when text is
// not an IPv6 address. Brackets and a zone are not accepted.
std::optional<std::string> CanonicalIpv6(std::string_view text);

// text in the one form its family has: IPv6 canonical, a dotted IPv4 address
// and anything else as it stands.
std::string CanonicalAddress(std::string_view text);

bool IsIpv6Address(std::string_view text);

// An interface identifier as a user types it: an IPv6 address whose upper 64
// bits are zero and that is not "::" ("::99", "::a8b:12ff:fe34:5678").
bool IsIpv6InterfaceId(std::string_view text);

// The canonical address made of the /64 prefix of address and the
// identifier; none when either is not what its name says.
std::optional<std::string> JoinPrefixWithInterfaceId(std::string_view address, std::string_view interfaceId);

// Whether two IPv6 addresses share their /64 prefix (false for anything else).
bool SamePrefix64(std::string_view a, std::string_view b);

} // namespace platform
