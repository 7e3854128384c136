#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <chrono>
#include <ctime>

namespace tarnwick {

// When a failed periodic cycle is tried again: 30 s after the first failure,
// then twice as long each time (1, 2, 4 min ...), never longer than the
// regular period. Pure arithmetic on the times it is given, so that an hour
// with the server down is tested in no time.
class TARNWICK_EXPORT RetryPlan
{
public:
    explicit RetryPlan(std::chrono::milliseconds first = std::chrono::seconds(30))
        : m_first(first)
    {
    }

    // One more failure at now: how long until the next try, and when it comes.
    std::chrono::milliseconds Failed(std::time_t now, std::chrono::milliseconds period);
    // A success, a cancel or the end of periodic redirecting: back to the period.
    void Reset();

    bool Pending() const { return m_failures > 0; }
    int Failures() const { return m_failures; }
    std::time_t NextTry() const { return m_nextTry; }

private:
    std::chrono::milliseconds m_first;
    int m_failures = 0;
    std::time_t m_nextTry = 0;
};

} // namespace tarnwick
