#include "tarnwick/cycle/CycleServices.h"

#ifdef TARNWICK_TEST_SEAMS
#include <cstdio>
#include <cstdlib>
#endif

namespace tarnwick {

CycleServices::CycleServices()
{
#ifdef TARNWICK_TEST_SEAMS
    // Test builds only: the process tests give the transfer bounds in
    // milliseconds ("total,idle") instead of waiting the real ones out.
    if (const char* limits = std::getenv("TARNWICK_TEST_TRANSFER_LIMITS")) {
        long total = 0;
        long idle = 0;
        if (std::sscanf(limits, "%ld,%ld", &total, &idle) == 2 && total > 0 && idle > 0) {
            CTransferSession::Limits bounds = m_transfer.Limits();
            bounds.total = std::chrono::milliseconds(total);
            bounds.idle = std::chrono::milliseconds(idle);
            m_transfer.SetLimits(bounds);
        }
    }
#endif
}

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
