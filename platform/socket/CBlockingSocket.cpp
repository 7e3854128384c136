#include "platform/socket/CBlockingSocket.h"

#include "platform/messages/MessageWait.h"
#include "platform/messages/ThreadMessages.h"
#include "platform/socket/SocketError.h"
#include "platform/url/IpAddressText.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/in6.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

bool FailWith(int code)
{
    WSASetLastError(code);
    return false;
}

bool FailFromErrno()
{
    return FailWith(WinsockErrorFromErrno(errno));
}

int CallFailedWith(int code)
{
    WSASetLastError(code);
    return CBlockingSocket::SOCKET_ERROR;
}

// The first address of host in family; a literal stands as it is.
int Resolve(const std::string& host, int family, sockaddr_storage& address, socklen_t& length)
{
    addrinfo hints {};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0 || !result)
        return rc != 0 ? WinsockErrorFromResolver(rc, errno) : WSAHOST_NOT_FOUND;
    std::memcpy(&address, result->ai_addr, result->ai_addrlen);
    length = result->ai_addrlen;
    freeaddrinfo(result);
    return 0;
}

// An IPv4 address as before; a host without one (an IPv6 literal, a name
// with only AAAA records) by its first IPv6 address.
bool ResolveHost(const std::string& host, sockaddr_storage& address, socklen_t& length)
{
    if (host.empty() || host.find('\0') != std::string::npos)
        return FailWith(WSAHOST_NOT_FOUND);
    const int v4 = Resolve(host, AF_INET, address, length);
    if (v4 == 0)
        return true;
    if (Resolve(host, AF_INET6, address, length) == 0)
        return true;
    return FailWith(v4);
}

bool FormatAddress(const sockaddr_storage& sa, std::string& address, unsigned& port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (sa.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(sa);
        if (!inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text))
            return FailFromErrno();
        address = CanonicalAddress(text);
        port = ntohs(v6.sin6_port);
        return true;
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(sa);
    if (!inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text))
        return FailFromErrno();
    address = text;
    port = ntohs(v4.sin_port);
    return true;
}

int OpenStreamSocket(int family)
{
    const int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0 && family == AF_INET6) {
        // The address a connection shows is published: never a temporary one.
        const int preference = IPV6_PREFER_SRC_PUBLIC;
        setsockopt(fd, IPPROTO_IPV6, IPV6_ADDR_PREFERENCES, &preference, sizeof preference);
    }
    return fd;
}

} // namespace

CBlockingSocket::~CBlockingSocket()
{
    Close();
}

bool CBlockingSocket::Create()
{
    Close();
    m_fd = OpenStreamSocket(AF_INET);
    if (m_fd < 0)
        return FailFromErrno();
    return true;
}

bool CBlockingSocket::Connect(const std::string& host, unsigned port)
{
    if (m_fd < 0)
        return FailWith(WSAENOTSOCK);
    if (port > 65535)
        return FailWith(WSAEINVAL);
    sockaddr_storage sa {};
    socklen_t saLength = 0;
    if (!ResolveHost(host, sa, saLength))
        return false;
    if (sa.ss_family == AF_INET6) {
        // Created for IPv4 before the host was known: the same socket anew for IPv6.
        const int v6 = OpenStreamSocket(AF_INET6);
        if (v6 < 0)
            return FailFromErrno();
        close(m_fd);
        m_fd = v6;
        reinterpret_cast<sockaddr_in6&>(sa).sin6_port = htons(static_cast<uint16_t>(port));
    } else {
        reinterpret_cast<sockaddr_in&>(sa).sin_port = htons(static_cast<uint16_t>(port));
    }
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&sa), saLength) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return FailFromErrno();
    if (!BlockUntil(POLLOUT))
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return FailFromErrno();
    if (error != 0)
        return FailWith(WinsockErrorFromErrno(error));
    return true;
}

int CBlockingSocket::Send(const void* buffer, int len)
{
    if (m_fd < 0)
        return CallFailedWith(WSAENOTSOCK);
    if (len < 0 || (len > 0 && !buffer))
        return CallFailedWith(WSAEFAULT);
    const char* bytes = static_cast<const char*>(buffer);
    int sent = 0;
    while (sent < len) {
        const ssize_t n = send(m_fd, bytes + sent, static_cast<size_t>(len - sent), MSG_NOSIGNAL);
        if (n >= 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return CallFailedWith(WinsockErrorFromErrno(errno));
        if (!BlockUntil(POLLOUT))
            return SOCKET_ERROR;
    }
    return sent;
}

int CBlockingSocket::Receive(void* buffer, int len)
{
    if (m_fd < 0)
        return CallFailedWith(WSAENOTSOCK);
    if (len < 0 || (len > 0 && !buffer))
        return CallFailedWith(WSAEFAULT);
    for (;;) {
        const ssize_t n = recv(m_fd, buffer, static_cast<size_t>(len), 0);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return CallFailedWith(WinsockErrorFromErrno(errno));
        if (!BlockUntil(POLLIN))
            return SOCKET_ERROR;
        OnReceive(0);
    }
}

bool CBlockingSocket::ShutDown(int how)
{
    if (m_fd < 0)
        return FailWith(WSAENOTSOCK);
    const int mode = how == receives ? SHUT_RD : how == sends ? SHUT_WR : SHUT_RDWR;
    if (shutdown(m_fd, mode) != 0)
        return FailFromErrno();
    return true;
}

void CBlockingSocket::Close()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

bool CBlockingSocket::GetSockName(std::string& address, unsigned& port) const
{
    if (m_fd < 0)
        return FailWith(WSAENOTSOCK);
    sockaddr_storage sa {};
    socklen_t length = sizeof sa;
    if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &length) != 0)
        return FailFromErrno();
    return FormatAddress(sa, address, port);
}

bool CBlockingSocket::GetPeerName(std::string& address, unsigned& port) const
{
    if (m_fd < 0)
        return FailWith(WSAENOTSOCK);
    sockaddr_storage sa {};
    socklen_t length = sizeof sa;
    if (getpeername(m_fd, reinterpret_cast<sockaddr*>(&sa), &length) != 0)
        return FailFromErrno();
    return FormatAddress(sa, address, port);
}

void CBlockingSocket::CancelBlockingCall()
{
    if (m_blocking)
        m_cancelled = true;
}

void CBlockingSocket::CheckForData()
{
    if (m_fd < 0 || m_blocking)
        return;
    char byte;
    if (recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 1)
        OnReceive(0);
}

bool CBlockingSocket::OnMessagePending()
{
    return false;
}

void CBlockingSocket::OnReceive(int) { }

bool CBlockingSocket::BlockUntil(short events)
{
    // One waiting call per socket: a second one from a message handler would
    // steal the first one's readiness.
    if (m_blocking)
        return FailWith(WSAEINPROGRESS);
    m_blocking = true;
    m_cancelled = false;
    struct Unblock
    {
        bool& blocking;
        ~Unblock() { blocking = false; }
    } unblock {m_blocking};

    MessageMark mark = TakeMessageMark();
    // Messages that came before the call are offered once, so that a cancel
    // posted while no call waited still ends this one at once.
    MSG msg;
    if (PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE))
        OnMessagePending();
    for (;;) {
        if (m_cancelled)
            return FailWith(WSAEINTR);
        if (m_fd < 0)
            return FailWith(WSAENOTSOCK);
        short revents = 0;
        switch (WaitForFdOrNewMessage(m_fd, events, -1, mark, &revents)) {
        case MessageWaitResult::NewMessage:
            mark = TakeMessageMark();
            OnMessagePending();
            break;
        case MessageWaitResult::Ready:
            // Errors and hang-ups count as ready: the call itself then reports them.
            return true;
        case MessageWaitResult::Timeout:
            break;
        case MessageWaitResult::Failed:
            return FailFromErrno();
        }
    }
}

} // namespace platform
