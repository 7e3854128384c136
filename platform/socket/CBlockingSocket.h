#pragma once

#include <string>

namespace platform {

// A TCP client socket (IPv4, or IPv6 with the public source address preferred) whose calls block the calling thread
// while it keeps watching that thread's message queue: every message that arrives during a wait is offered to
// OnMessagePending, and CancelBlockingCall from there ends the wait with WSAEINTR. Failures set the thread's socket
// error code (Winsock numbers). An object is used by one thread at a time.
class CBlockingSocket
{
public:
    static constexpr int SOCKET_ERROR = -1;
    enum { receives = 0, sends = 1, both = 2 };

    CBlockingSocket() = default;
    virtual ~CBlockingSocket();
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;

    // Opens a new stream socket (closing an open one first).
    bool Create();
    // Connects to an IPv4 or IPv6 address or a host name (its IPv4 address,
    // else its IPv6 address). Addresses read back are canonical, without brackets.
    bool Connect(const std::string& host, unsigned port);
    // Sends the whole buffer; returns len or SOCKET_ERROR.
    int Send(const void* buffer, int len);
    // Waits for data; returns the byte count, 0 when the peer closed, or SOCKET_ERROR.
    int Receive(void* buffer, int len);
    bool ShutDown(int how = both);
    // Closes the socket without a shutdown; harmless when none is open.
    void Close();
    bool GetSockName(std::string& address, unsigned& port) const;
    bool GetPeerName(std::string& address, unsigned& port) const;

    // Makes a waiting call of this socket fail with WSAEINTR; nothing when none waits.
    void CancelBlockingCall();
    bool IsBlocking() const { return m_blocking; }
    bool IsOpen() const { return m_fd >= 0; }
    int Handle() const { return m_fd; }

    // Reports readable data now, as the system would between calls: runs
    // OnReceive when data (not only the peer's close) is waiting.
    void CheckForData();

protected:
    // Called while a call waits, for pending messages of the thread. The base
    // leaves them in the queue for the thread's own message loop.
    virtual bool OnMessagePending();
    // Called when data can be read.
    virtual void OnReceive(int errorCode);

private:
    // Waits until the socket reports one of events; false with the error code set
    // when the wait was cancelled or failed.
    bool BlockUntil(short events);

    int m_fd = -1;
    bool m_blocking = false;
    bool m_cancelled = false;
};

} // namespace platform
