#include "corvanecom/CTimeoutSocket.h"

#include "platform/messages/ThreadMessages.h"
#include "platform/socket/SocketError.h"
#include "platform/system/SystemMessage.h"

#include <cstring>

CTimeoutSocket::~CTimeoutSocket()
{
    KillTimeout();
}

bool CTimeoutSocket::SetTimeout(int seconds)
{
    KillTimeout();
    m_nTimerId = platform::SetTimer(nullptr, 0, static_cast<uint32_t>(seconds) * 1000u, nullptr);
    return m_nTimerId != 0;
}

bool CTimeoutSocket::KillTimeout()
{
    if (m_nTimerId != 0 && platform::KillTimer(nullptr, m_nTimerId))
        m_nTimerId = 0;
    return true;
}

const std::string& CTimeoutSocket::GetLastErrorText()
{
    const int code = platform::WSAGetLastError();
    if (code == 0) {
        m_strLastError.clear();
        return m_strLastError;
    }
    std::string text = platform::FormatSystemMessage(static_cast<uint32_t>(code));
    if (!text.empty())
        m_strLastError = std::move(text);
    return m_strLastError;
}

bool CTimeoutSocket::ConnectTo(const std::string& host, unsigned port, int seconds)
{
    m_strSocketAddress.clear();
    m_strPeerAddress.clear();
    Close();
    if (!Create())
        return false;
    if (seconds > 0 && !SetTimeout(seconds))
        return false;
    bool ok = Connect(host, port) && IsOpen() && GetSockName(m_strSocketAddress, m_nSocketPort)
        && GetPeerName(m_strPeerAddress, m_nPeerPort);
    KillTimeout();
    return ok;
}

bool CTimeoutSocket::ConnectAndClose(const std::string& host, unsigned port, int seconds)
{
    const bool ok = ConnectTo(host, port, seconds);
    Close();
    return ok;
}

bool CTimeoutSocket::SendText(const std::string& text, int seconds)
{
    if (seconds > 0 && !SetTimeout(seconds))
        return false;
    const int sent = Send(text.data(), static_cast<int>(text.size()));
    KillTimeout();
    return sent == static_cast<int>(text.size());
}

bool CTimeoutSocket::ReceiveText(std::string& answer, int maxSizeInKB, int seconds)
{
    answer.clear();
    bool tooLong = false;
    int received = 0;
    // A stream never reports a message that is too long, so in practice this
    // runs once; the loop stays for a socket kind that would.
    do {
        tooLong = false;
        if (seconds > 0 && !SetTimeout(seconds))
            return false;
        char buffer[kReceiveChunk] = {};
        received = Receive(buffer, kReceiveChunk);
        KillTimeout();
        if (received == SOCKET_ERROR && platform::WSAGetLastError() == platform::WSAEMSGSIZE)
            tooLong = true;
        const size_t filled = received > 0 ? static_cast<size_t>(received) : (tooLong ? sizeof buffer : 0);
        answer.append(buffer, strnlen(buffer, filled));
    } while (tooLong && answer.size() < static_cast<size_t>(maxSizeInKB) * 1024u);
    m_bDataAvailable = tooLong ? 1 : 0;
    return received != SOCKET_ERROR;
}

bool CTimeoutSocket::SendAndReceive(const std::string& text, std::string& answer, int seconds)
{
    return SendText(text, seconds) && ReceiveText(answer, 64, seconds);
}

int CTimeoutSocket::DataAvailable()
{
    CheckForData();
    return m_bDataAvailable;
}

bool CTimeoutSocket::OnMessagePending()
{
    platform::MSG msg;
    if (platform::PeekMessage(&msg, platform::HWND_THREAD_ONLY, WM_CANCEL_SOCKET_CALL, WM_CANCEL_SOCKET_CALL,
                              platform::PM_REMOVE)) {
        CancelBlockingCall();
        return false;
    }
    // Our own step timer, even when another timer of the thread is due before it.
    if (m_nTimerId != 0 && platform::PeekTimerMessage(&msg, m_nTimerId, platform::PM_REMOVE)) {
        CancelBlockingCall();
        return false;
    }
    return CBlockingSocket::OnMessagePending();
}

void CTimeoutSocket::OnReceive(int errorCode)
{
    m_bDataAvailable = 1;
    CBlockingSocket::OnReceive(errorCode);
}
