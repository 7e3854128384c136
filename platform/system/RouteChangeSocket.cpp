#include "platform/system/RouteChangeSocket.h"

#include "platform/system/Ipv6AddressList.h"

#include <cerrno>
#include <cstring>
#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

bool Relevant(const nlmsghdr* header)
{
    switch (header->nlmsg_type) {
    case RTM_NEWADDR:
    case RTM_DELADDR: {
        const auto* address = static_cast<const ifaddrmsg*>(NLMSG_DATA(header));
        uint32_t flags = address->ifa_flags;
        int length = static_cast<int>(IFA_PAYLOAD(header));
        for (auto* attribute = IFA_RTA(address); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
            if (attribute->rta_type == IFA_FLAGS && RTA_PAYLOAD(attribute) >= sizeof(uint32_t))
                std::memcpy(&flags, RTA_DATA(attribute), sizeof(uint32_t));
        }
        return address->ifa_scope != RT_SCOPE_HOST && IsPublishableAddressChange(address->ifa_family, flags);
    }
    case RTM_NEWROUTE:
    case RTM_DELROUTE: {
        const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(header));
        return route->rtm_dst_len == 0 && route->rtm_table == RT_TABLE_MAIN;
    }
    default:
        return false;
    }
}

} // namespace

RouteChangeSocket::RouteChangeSocket()
{
    m_fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (m_fd < 0)
        return;
    sockaddr_nl local {};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RouteChangeSocket::~RouteChangeSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RouteChangeSocket::Drain()
{
    if (m_fd < 0)
        return false;
    bool relevant = false;
    alignas(nlmsghdr) char buffer[16384];
    for (;;) {
        const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            // ENOBUFS: the kernel dropped notices; assume one mattered.
            if (errno == ENOBUFS) {
                relevant = true;
                continue;
            }
            return relevant;
        }
        if (got == 0)
            return relevant;
        int length = static_cast<int>(got);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, length);
             header = NLMSG_NEXT(header, length)) {
            if (header->nlmsg_len >= NLMSG_LENGTH(sizeof(rtmsg)) && Relevant(header))
                relevant = true;
        }
    }
}

} // namespace platform
