#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include "platform/internet/InternetSession.h"

#include <chrono>
#include <mutex>
#include <string>

namespace tarnwick {

class MessageTarget;

// The internet session of one Tarnwick transfer: sends each progress step as
// a German status text to the main window and remembers the server address
// reported when the name was resolved or the connection made.
class TARNWICK_EXPORT CTransferSession : public platform::InternetSession
{
public:
    // Time and speed bounds of every transfer, so that a server that trickles
    // cannot keep a cycle (and with it a one-shot run) going without end.
    struct Limits
    {
        // Headers, or any data, that long overdue end the transfer.
        std::chrono::milliseconds idle {60000};
        // The whole transfer, connecting included.
        std::chrono::milliseconds total {120000};
        // Less than this on average over the idle time ends it too.
        long lowSpeedBytesPerSecond = 64;
    };

    explicit CTransferSession(const Limits& limits);
    ~CTransferSession() override;

    void SetStatusWindow(MessageTarget* window);
    // The address of the last "name resolved" or "connected" report; empty
    // after a handle was created or closed.
    const std::string& LastAddress() const { return m_strLastAddress; }

    void OnStatusCallback(uintptr_t context, uint32_t code, const char* info, std::size_t length) override;

private:
    std::string m_strLastAddress;
    std::mutex m_csStatus;
    std::string m_strStatusText;
    MessageTarget* m_hWndStatus = nullptr;
};

} // namespace tarnwick
