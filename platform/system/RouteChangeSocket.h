#pragma once

namespace platform {

// The kernel's notices of changed interface addresses and default routes
// (IPv4 and IPv6, rtnetlink multicast groups). Non-blocking: the owner
// watches Descriptor() in its event loop and calls Drain() when it is
// readable, so nothing runs while nothing changes.
class RouteChangeSocket
{
public:
    RouteChangeSocket();
    ~RouteChangeSocket();
    RouteChangeSocket(const RouteChangeSocket&) = delete;
    RouteChangeSocket& operator=(const RouteChangeSocket&) = delete;

    // -1 when the socket could not be opened (no netlink in this sandbox).
    int Descriptor() const { return m_fd; }
    // Reads every pending notice; true when one of them concerns an address
    // other than loopback and temporary IPv6 addresses, or the main table's
    // default route (or notices were lost, so that a change may have been
    // missed).
    bool Drain();

private:
    int m_fd = -1;
};

} // namespace platform
