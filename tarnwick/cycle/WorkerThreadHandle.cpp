#include "tarnwick/cycle/WorkerThreadHandle.h"

#include "platform/messages/ThreadMessages.h"
#include "tarnwick/messages/WindowMessages.h"

namespace tarnwick {

void WorkerThreadHandle::Publish(uint32_t threadId)
{
    std::lock_guard lock(m_mutex);
    m_threadId = threadId;
    if (m_cancelPending)
        platform::PostThreadMessage(threadId, WM_CANCEL_SOCKET_CALL, 0, 0);
}

void WorkerThreadHandle::Cancel()
{
    std::lock_guard lock(m_mutex);
    if (m_threadId != 0)
        platform::PostThreadMessage(m_threadId, WM_CANCEL_SOCKET_CALL, 0, 0); // no effect once it has ended
    else
        m_cancelPending = true;
}

} // namespace tarnwick
