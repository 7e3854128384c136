#include "tarnwick/cycle/CycleServices.h"

namespace tarnwick {

CycleServices::~CycleServices()
{
    UnloadRasFunctionTable(m_rasFunctions);
}

void CycleServices::LoadDialUp()
{
    if (m_bDialUpLoadTried)
        return;
    m_bDialUpLoadTried = true;
    // Without a provider the table stays empty; nothing is said here.
    LoadRasFunctionTable(m_rasFunctions);
}

} // namespace tarnwick
