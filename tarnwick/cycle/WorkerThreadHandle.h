#pragma once

#include "tarnwick/logic/TarnwickExport.h"

#include <cstdint>
#include <mutex>

namespace tarnwick {

// The address worker's thread as the cycle keeps it for cancelling: its
// thread-message id, published by the worker as its first act. A cancel
// that comes before the id is known is delivered by the worker itself, into
// its own queue, where its next blocking step finds it at once.
class TARNWICK_EXPORT WorkerThreadHandle
{
public:
    // On the worker thread, before anything that can block.
    void Publish(uint32_t threadId);
    // Posts the cancel message to the worker's thread (or leaves it for Publish).
    void Cancel();

private:
    std::mutex m_mutex;
    uint32_t m_threadId = 0;
    bool m_cancelPending = false;
};

} // namespace tarnwick
