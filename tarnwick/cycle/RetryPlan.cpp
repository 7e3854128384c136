#include "tarnwick/cycle/RetryPlan.h"

#include <algorithm>

namespace tarnwick {

std::chrono::milliseconds RetryPlan::Failed(std::time_t now, std::chrono::milliseconds period)
{
    ++m_failures;
    std::chrono::milliseconds delay = m_first;
    // Doubling stops at the period (and long before the type could overflow).
    for (int i = 1; i < m_failures && delay < period; ++i)
        delay *= 2;
    delay = std::min(delay, period);
    m_nextTry = now + static_cast<std::time_t>(std::chrono::duration_cast<std::chrono::seconds>(delay).count());
    return delay;
}

void RetryPlan::Reset()
{
    m_failures = 0;
    m_nextTry = 0;
}

} // namespace tarnwick
