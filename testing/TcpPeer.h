#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace velt::testing {

// What a responder returns: bytes to send (may be empty) and whether the
// connection is closed afterwards.
struct PeerReply
{
    std::string bytes;
    bool close = false;
};

// A plain TCP listener on 127.0.0.1 and a free port, served on its own
// thread, for peers that misbehave on purpose. Every mode records all bytes
// received on all connections.
class TcpPeer
{
public:
    enum class Mode {
        Silent, // accepts and never answers
        SendAndStayOpen, // sends the bytes at once, then stays open
        SendAndClose, // sends the bytes at once, then closes
        CloseAtOnce, // accepts and closes at once
        Trickle, // sends the bytes at once, then one byte ("x") every 100 ms
    };
    // Called after every read with the bytes received on this connection
    // since the last non-empty reply.
    using Responder = std::function<PeerReply(const std::string& received)>;

    explicit TcpPeer(Mode mode, std::string bytes = {});
    explicit TcpPeer(Responder responder);
    ~TcpPeer();
    TcpPeer(const TcpPeer&) = delete;
    TcpPeer& operator=(const TcpPeer&) = delete;

    uint16_t port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by the path.
    std::string url(const std::string& path) const;
    // Everything received so far, over all connections.
    std::string received() const;
    int connections() const { return m_connections.load(); }
    // Waits until the received bytes contain the text (true) or time is up.
    bool waitForReceived(const std::string& text, std::chrono::milliseconds timeout) const;
    // Waits until at least that many connections were accepted.
    bool waitForConnections(int count, std::chrono::milliseconds timeout) const;
    // Closes the listener and every connection; idempotent.
    void stop();

private:
    void start();
    void run();

    Mode m_mode = Mode::Silent;
    std::string m_bytes;
    Responder m_responder;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    uint16_t m_port = 0;
    std::atomic<int> m_connections {0};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::string m_received;
    std::thread m_thread;
};

} // namespace velt::testing
