#include "kestrup/CUpdateSession.h"

#include "platform/internet/InternetConstants.h"
#include "tarnwick/messages/MessageTarget.h"
#include "tarnwick/messages/WindowMessages.h"
#include "tarnwick/transfer/InternetStatusTextTable.h"

namespace kestrup {

CUpdateSession::CUpdateSession(const std::string& agent)
    : platform::InternetSession(agent, 1, platform::INTERNET_FLAG_DONT_CACHE)
{
    EnableStatusCallback(true);
}

CUpdateSession::~CUpdateSession()
{
    EnableStatusCallback(false);
}

void CUpdateSession::SetStatusWindow(tarnwick::MessageTarget* window)
{
    m_hWndStatus = window;
}

void CUpdateSession::OnStatusCallback(uintptr_t context, uint32_t code, const char* info, std::size_t)
{
    using namespace platform;
    if (code == INTERNET_STATUS_HANDLE_CLOSING)
        return;
    std::lock_guard lock(m_csStatus);
    m_strStatusText = tarnwick::InternetStatusTextTable::Text(code);
    if (code == INTERNET_STATUS_RESOLVING_NAME || code == INTERNET_STATUS_NAME_RESOLVED) {
        m_strStatusText += " (";
        m_strStatusText += info ? info : "";
        m_strStatusText += ")";
    }
    if (m_hWndStatus)
        m_hWndStatus->SendMessage(tarnwick::WM_STATUS_TEXT, context,
                                  reinterpret_cast<intptr_t>(m_strStatusText.c_str()));
}

} // namespace kestrup
