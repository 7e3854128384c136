#include "tarnwick/transfer/CTransferSession.h"

#include "platform/internet/InternetConstants.h"
#include "tarnwick/messages/MessageTarget.h"
#include "tarnwick/messages/WindowMessages.h"
#include "tarnwick/transfer/InternetStatusTextTable.h"

namespace tarnwick {

CTransferSession::CTransferSession(const Limits& limits)
    : platform::InternetSession("VELT Tarnwick", 1, platform::INTERNET_FLAG_DONT_CACHE)
{
    SetTimeouts(limits.idle, limits.idle);
    SetTransferLimits(limits.total, limits.lowSpeedBytesPerSecond);
    EnableStatusCallback(true);
}

CTransferSession::~CTransferSession()
{
    // Nothing may reach this object's callback once it is being destroyed.
    EnableStatusCallback(false);
}

void CTransferSession::SetStatusWindow(MessageTarget* window)
{
    m_hWndStatus = window;
}

void CTransferSession::OnStatusCallback(uintptr_t context, uint32_t code, const char* info, std::size_t)
{
    using namespace platform;
    if (code == INTERNET_STATUS_HANDLE_CLOSING || code == INTERNET_STATUS_HANDLE_CREATED) {
        m_strLastAddress.clear();
        return;
    }
    const char* information = info ? info : "";
    if (code == INTERNET_STATUS_NAME_RESOLVED || code == INTERNET_STATUS_CONNECTED_TO_SERVER)
        m_strLastAddress = information;
    if (!InternetStatusTextTable::Contains(code))
        return;

    std::lock_guard lock(m_csStatus);
    m_strStatusText = InternetStatusTextTable::Text(code);
    if (code == INTERNET_STATUS_RESOLVING_NAME || code == INTERNET_STATUS_NAME_RESOLVED
        || code == INTERNET_STATUS_CONNECTING_TO_SERVER || code == INTERNET_STATUS_CONNECTED_TO_SERVER) {
        m_strStatusText += " (";
        m_strStatusText += information;
        m_strStatusText += ")";
    }
    if (m_hWndStatus)
        m_hWndStatus->SendMessage(WM_STATUS_TEXT, context, reinterpret_cast<intptr_t>(m_strStatusText.c_str()));
}

} // namespace tarnwick
