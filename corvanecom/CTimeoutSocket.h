#pragma once

#include "platform/socket/CBlockingSocket.h"

#include <cstdint>
#include <string>

// Thread message that aborts a waiting socket step of a component object on the
// thread it is posted to (wParam and lParam 0).
inline constexpr uint32_t WM_CANCEL_SOCKET_CALL = 0x07E9;

// The component's TCP command channel: one blocking step at a time, each with
// its own time limit in whole seconds (0 = none) kept by a thread timer, and
// abortable by WM_CANCEL_SOCKET_CALL posted to the object's thread.
class CTimeoutSocket : public platform::CBlockingSocket
{
public:
    CTimeoutSocket() = default;
    ~CTimeoutSocket() override;

    bool SetTimeout(int seconds);
    bool KillTimeout();
    // The system's text for the thread's current socket error code ("" for 0).
    const std::string& GetLastErrorText();

    bool ConnectTo(const std::string& host, unsigned port, int seconds);
    bool ConnectAndClose(const std::string& host, unsigned port, int seconds);
    bool SendText(const std::string& text, int seconds);
    // One receive of at most 1024 bytes, cut at its first zero byte.
    bool ReceiveText(std::string& answer, int maxSizeInKB, int seconds);
    bool SendAndReceive(const std::string& text, std::string& answer, int seconds);

    int DataAvailable();
    unsigned PeerPort() const { return m_nPeerPort; }
    unsigned SocketPort() const { return m_nSocketPort; }
    const std::string& PeerAddress() const { return m_strPeerAddress; }
    const std::string& SocketAddress() const { return m_strSocketAddress; }
    uint32_t TimerId() const { return m_nTimerId; }

    static constexpr int kReceiveChunk = 1024;

protected:
    bool OnMessagePending() override;
    void OnReceive(int errorCode) override;

private:
    int m_bDataAvailable = 0;
    std::string m_strLastError;
    unsigned m_nPeerPort = 0;
    unsigned m_nSocketPort = 0;
    std::string m_strPeerAddress;
    std::string m_strSocketAddress;
    uint32_t m_nTimerId = 0;
};
