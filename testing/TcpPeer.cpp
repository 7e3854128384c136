#include "testing/TcpPeer.h"

#include <arpa/inet.h>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace velt::testing {

namespace {

void SendAll(int fd, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

} // namespace

TcpPeer::TcpPeer(Mode mode, std::string bytes)
    : m_mode(mode)
    , m_bytes(std::move(bytes))
{
    start();
}

TcpPeer::TcpPeer(Responder responder)
    : m_responder(std::move(responder))
{
    start();
}

TcpPeer::~TcpPeer()
{
    stop();
}

void TcpPeer::start()
{
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_listenFd < 0 || m_wakeFd < 0)
        throw std::runtime_error("cannot create the peer's sockets");
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(m_listenFd, 16) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    socklen_t length = sizeof address;
    getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

void TcpPeer::run()
{
    // Per connection: bytes received since the responder last answered.
    std::map<int, std::string> clients;
    auto closeClient = [&clients](int fd) {
        close(fd);
        clients.erase(fd);
    };
    constexpr auto kTrickleStep = std::chrono::milliseconds(100);
    auto lastTrickle = std::chrono::steady_clock::now();
    for (;;) {
        std::vector<pollfd> fds {{m_wakeFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}};
        for (const auto& [fd, pending] : clients)
            fds.push_back({fd, POLLIN, 0});
        const bool trickle = m_mode == Mode::Trickle && !m_responder;
        if (poll(fds.data(), fds.size(), trickle ? static_cast<int>(kTrickleStep.count()) : -1) < 0)
            continue;
        if (trickle && std::chrono::steady_clock::now() - lastTrickle >= kTrickleStep) {
            lastTrickle = std::chrono::steady_clock::now();
            for (const auto& [fd, pending] : clients)
                send(fd, "x", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                {
                    std::lock_guard lock(m_mutex);
                    ++m_connections;
                }
                m_changed.notify_all();
                if (m_responder) {
                    clients[fd];
                } else if (m_mode == Mode::CloseAtOnce) {
                    close(fd);
                } else {
                    if (m_mode != Mode::Silent)
                        SendAll(fd, m_bytes);
                    if (m_mode == Mode::SendAndClose) {
                        shutdown(fd, SHUT_WR);
                        // Keep reading what the client still sends, until it closes.
                    }
                    clients[fd];
                }
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            int fd = fds[i].fd;
            char buffer[65536];
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closeClient(fd);
                continue;
            }
            {
                std::lock_guard lock(m_mutex);
                m_received.append(buffer, static_cast<std::size_t>(n));
            }
            m_changed.notify_all();
            if (!m_responder)
                continue;
            std::string& pending = clients[fd];
            pending.append(buffer, static_cast<std::size_t>(n));
            PeerReply reply = m_responder(pending);
            if (!reply.bytes.empty()) {
                pending.clear();
                SendAll(fd, reply.bytes);
            }
            if (reply.close)
                closeClient(fd);
        }
    }
    for (const auto& [fd, pending] : clients)
        close(fd);
}

std::string TcpPeer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string TcpPeer::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool TcpPeer::waitForReceived(const std::string& text, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_received.find(text) != std::string::npos; });
}

bool TcpPeer::waitForConnections(int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_connections.load() >= count; });
}

void TcpPeer::stop()
{
    if (m_thread.joinable()) {
        uint64_t one = 1;
        ssize_t ignored = write(m_wakeFd, &one, sizeof one);
        (void)ignored;
        m_thread.join();
    }
    if (m_listenFd >= 0)
        close(m_listenFd);
    if (m_wakeFd >= 0)
        close(m_wakeFd);
    m_listenFd = m_wakeFd = -1;
}

} // namespace velt::testing
