#include "platform/system/Ipv6AddressList.h"

#include "platform/url/IpAddressText.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr uint32_t kUnusableFlags = IFA_F_TEMPORARY | IFA_F_DEPRECATED | IFA_F_TENTATIVE | IFA_F_DADFAILED;

// Reads one RTM_NEWADDR of the dump into out; false for other families.
bool ReadAddress(const nlmsghdr* header, Ipv6InterfaceAddress& out)
{
    if (header->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg)))
        return false;
    const auto* message = static_cast<const ifaddrmsg*>(NLMSG_DATA(header));
    if (message->ifa_family != AF_INET6)
        return false;
    out.interfaceIndex = static_cast<int>(message->ifa_index);
    out.prefixLength = message->ifa_prefixlen;
    out.scope = message->ifa_scope;
    out.flags = message->ifa_flags;
    const in6_addr* local = nullptr;
    const in6_addr* peer = nullptr;
    int length = static_cast<int>(IFA_PAYLOAD(header));
    for (auto* attribute = IFA_RTA(message); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == IFA_FLAGS && RTA_PAYLOAD(attribute) >= sizeof(uint32_t))
            std::memcpy(&out.flags, RTA_DATA(attribute), sizeof(uint32_t));
        else if (attribute->rta_type == IFA_LOCAL && RTA_PAYLOAD(attribute) >= sizeof(in6_addr))
            local = static_cast<const in6_addr*>(RTA_DATA(attribute));
        else if (attribute->rta_type == IFA_ADDRESS && RTA_PAYLOAD(attribute) >= sizeof(in6_addr))
            peer = static_cast<const in6_addr*>(RTA_DATA(attribute));
    }
    const in6_addr* address = local ? local : peer;
    if (!address)
        return false;
    char text[INET6_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET6, address, text, sizeof text))
        return false;
    out.address = CanonicalAddress(text);
    return true;
}

} // namespace

std::vector<Ipv6InterfaceAddress> ListIpv6Addresses()
{
    std::vector<Ipv6InterfaceAddress> addresses;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return addresses;
    struct
    {
        nlmsghdr header;
        ifaddrmsg message;
    } request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETADDR;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.message.ifa_family = AF_INET6;
    if (::send(fd, &request, sizeof request, 0) != static_cast<ssize_t>(sizeof request)) {
        ::close(fd);
        return addresses;
    }
    alignas(nlmsghdr) char buffer[32768];
    bool done = false;
    while (!done) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        int length = static_cast<int>(got);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, length);
             header = NLMSG_NEXT(header, length)) {
            if (header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR) {
                done = true;
                break;
            }
            Ipv6InterfaceAddress address;
            if (header->nlmsg_type == RTM_NEWADDR && ReadAddress(header, address))
                addresses.push_back(std::move(address));
        }
    }
    ::close(fd);
    return addresses;
}

bool IsStableGlobalAddress(const Ipv6InterfaceAddress& address)
{
    return address.scope == RT_SCOPE_UNIVERSE && (address.flags & kUnusableFlags) == 0;
}

std::optional<std::string> ChooseStableAddress(std::string_view found,
                                               const std::vector<Ipv6InterfaceAddress>& addresses)
{
    const std::string canonical = CanonicalAddress(found);
    const Ipv6InterfaceAddress* listed = nullptr;
    for (const Ipv6InterfaceAddress& address : addresses) {
        if (address.address == canonical)
            listed = &address;
    }
    if (!listed)
        return std::nullopt;
    if (IsStableGlobalAddress(*listed))
        return listed->address;
    for (const Ipv6InterfaceAddress& address : addresses) {
        if (address.interfaceIndex == listed->interfaceIndex && IsStableGlobalAddress(address)
            && SamePrefix64(address.address, canonical))
            return address.address;
    }
    return std::nullopt;
}

std::optional<std::string> AnyStableGlobalAddress(const std::vector<Ipv6InterfaceAddress>& addresses)
{
    for (const Ipv6InterfaceAddress& address : addresses) {
        if (IsStableGlobalAddress(address))
            return address.address;
    }
    return std::nullopt;
}

bool IsPublishableAddressChange(int family, uint32_t flags)
{
    return family != AF_INET6 || (flags & IFA_F_TEMPORARY) == 0;
}

} // namespace platform
