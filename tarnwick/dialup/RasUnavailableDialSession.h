#pragma once

#include "tarnwick/dialup/DialSession.h"

#include <chrono>

namespace tarnwick {

// The dial when the provider library (or its dial function) is missing: it
// says so, waits a moment so that the text can be read, and ends with
// kDialOk, so that the caller goes on as if connected.
class RasUnavailableDialSession : public DialSession
{
public:
    static constexpr const char* kText = "RASAPI32.DLL konnte nicht geladen werden!\r\n"
                                         "Automatische Anwahl einer DFÜ-Verbindung ist nicht möglich.";

    explicit RasUnavailableDialSession(DialStatusSink status,
                                       std::chrono::milliseconds pause = std::chrono::milliseconds(1000));

    int Run(const DialRequest& request) override;
    bool HangUp() override { return false; }

private:
    DialStatusSink m_status;
    std::chrono::milliseconds m_pause;
};

} // namespace tarnwick
