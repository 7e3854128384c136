#include "tarnwick/dialup/DialSession.h"

#include "tarnwick/dialup/RasUnavailableDialSession.h"

namespace tarnwick {

DialSessionFactory DefaultDialSessionFactory()
{
    return [](const DialStatusSink& status) -> std::unique_ptr<DialSession> {
        return std::make_unique<RasUnavailableDialSession>(status);
    };
}

} // namespace tarnwick
