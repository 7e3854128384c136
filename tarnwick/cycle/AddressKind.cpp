#include "tarnwick/cycle/AddressKind.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstring>

namespace tarnwick {

std::string UnreachableAddressKind(std::string_view address)
{
    const std::string text(address);
    in_addr v4 {};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        const uint32_t a = ntohl(v4.s_addr);
        const auto in = [a](uint32_t net, int bits) { return (a >> (32 - bits)) == (net >> (32 - bits)); };
        if (in(0x0A000000, 8) || in(0xAC100000, 12) || in(0xC0A80000, 16))
            return "private Adresse";
        if (in(0x64400000, 10))
            return "gemeinsam genutzte Provider-Adresse";
        if (in(0xA9FE0000, 16))
            return "link-lokale Adresse";
        if (in(0x7F000000, 8))
            return "Loopback-Adresse";
        return {};
    }
    in6_addr v6 {};
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
        const uint8_t* b = v6.s6_addr;
        if (IN6_IS_ADDR_LOOPBACK(&v6))
            return "Loopback-Adresse";
        if (b[0] == 0xFE && (b[1] & 0xC0) == 0x80)
            return "link-lokale Adresse";
        if ((b[0] & 0xFE) == 0xFC)
            return "private Adresse";
    }
    return {};
}

} // namespace tarnwick
