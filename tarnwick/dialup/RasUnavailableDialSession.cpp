#include "tarnwick/dialup/RasUnavailableDialSession.h"

#include <thread>

namespace tarnwick {

RasUnavailableDialSession::RasUnavailableDialSession(DialStatusSink status, std::chrono::milliseconds pause)
    : m_status(std::move(status))
    , m_pause(pause)
{
}

int RasUnavailableDialSession::Run(const DialRequest&)
{
    if (m_status)
        m_status(kText);
    std::this_thread::sleep_for(m_pause);
    return kDialOk;
}

} // namespace tarnwick
