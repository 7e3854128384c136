#include "platform/url/IpAddressText.h"

#include <arpa/inet.h>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

std::optional<in6_addr> ParseIpv6(std::string_view text)
{
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN)
        return std::nullopt;
    const std::string copy(text);
    in6_addr address {};
    if (inet_pton(AF_INET6, copy.c_str(), &address) != 1)
        return std::nullopt;
    return address;
}

std::string Format(const in6_addr& address)
{
    std::array<uint16_t, 8> groups {};
    for (size_t i = 0; i < groups.size(); ++i)
        groups[i] = static_cast<uint16_t>(address.s6_addr[2 * i] << 8 | address.s6_addr[2 * i + 1]);
    const bool mapped = IN6_IS_ADDR_V4MAPPED(&address);
    const size_t hexGroups = mapped ? 6 : 8;
    // The longest run of zero groups (at least two), the first of equal ones.
    size_t bestStart = hexGroups;
    size_t bestLength = 1;
    for (size_t i = 0; i < hexGroups;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < hexGroups && groups[end] == 0)
            ++end;
        if (end - i > bestLength) {
            bestStart = i;
            bestLength = end - i;
        }
        i = end;
    }
    std::string text;
    for (size_t i = 0; i < hexGroups; ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':')
            text += ':';
        char group[8];
        std::snprintf(group, sizeof group, "%x", groups[i]);
        text += group;
    }
    if (mapped) {
        if (text.back() != ':')
            text += ':';
        char dotted[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &address.s6_addr[12], dotted, sizeof dotted);
        text += dotted;
    }
    return text;
}

} // namespace

std::optional<std::string> CanonicalIpv6(std::string_view text)
{
    const std::optional<in6_addr> address = ParseIpv6(text);
    if (!address)
        return std::nullopt;
    return Format(*address);
}

std::string CanonicalAddress(std::string_view text)
{
    if (std::optional<std::string> v6 = CanonicalIpv6(text))
        return *v6;
    return std::string(text);
}

bool IsIpv6Address(std::string_view text)
{
    return ParseIpv6(text).has_value();
}

bool IsIpv6InterfaceId(std::string_view text)
{
    const std::optional<in6_addr> id = ParseIpv6(text);
    if (!id)
        return false;
    bool low = false;
    for (size_t i = 0; i < 16; ++i) {
        if (i < 8 && id->s6_addr[i] != 0)
            return false;
        low = low || (i >= 8 && id->s6_addr[i] != 0);
    }
    return low;
}

std::optional<std::string> JoinPrefixWithInterfaceId(std::string_view address, std::string_view interfaceId)
{
    std::optional<in6_addr> joined = ParseIpv6(address);
    const std::optional<in6_addr> id = ParseIpv6(interfaceId);
    if (!joined || !id || !IsIpv6InterfaceId(interfaceId))
        return std::nullopt;
    std::memcpy(&joined->s6_addr[8], &id->s6_addr[8], 8);
    return Format(*joined);
}

bool SamePrefix64(std::string_view a, std::string_view b)
{
    const std::optional<in6_addr> first = ParseIpv6(a);
    const std::optional<in6_addr> second = ParseIpv6(b);
    return first && second && std::memcmp(first->s6_addr, second->s6_addr, 8) == 0;
}

} // namespace platform
