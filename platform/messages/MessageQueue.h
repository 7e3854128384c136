#pragma once

#include "platform/messages/MessageWait.h"
#include "platform/messages/ThreadMessages.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace platform {

// One thread's queue: posted messages, thread timers and the descriptors that let
// the thread wait for both in poll(). Post and Close may be called from any thread;
// everything else only from the owning thread.
class MessageQueue
{
public:
    using Clock = std::chrono::steady_clock;

    explicit MessageQueue(uint32_t threadId);
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    uint32_t ThreadId() const { return m_threadId; }

    bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // After Close every Post fails: the owning thread has ended.
    void Close();

    bool Peek(MSG* msg, void* hwnd, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlags);
    bool PeekTimer(MSG* msg, uint32_t timerId, uint32_t removeFlags);
    uint32_t SetTimer(uint32_t id, uint32_t elapseMs, void* callback);
    bool KillTimer(uint32_t id);
    int Fd() const { return m_epollFd; }
    int NextTimerTimeoutMs() const;
    bool WaitForInput(int timeoutMs);

    MessageMark Mark();
    MessageWaitResult WaitForFd(int fd, short events, int timeoutMs, const MessageMark& mark, short* revents);

private:
    struct Timer
    {
        uint32_t id;
        uint32_t periodMs;
        Clock::time_point due;
        void* callback;
    };

    bool HasPostedLocked() const { return !m_posted.empty(); }
    Timer* EarliestDueTimer(Clock::time_point now);
    Timer* FindTimer(uint32_t id);
    MSG TimerMessage(const Timer& timer, Clock::time_point now) const;
    void ConsumeTimer(Timer& timer, Clock::time_point now);
    void ArmTimerFd();
    bool EnsureNotifyFd();

    const uint32_t m_threadId;
    std::mutex m_mutex; // guards m_posted, m_closed, m_postCount, m_notifyFd
    std::deque<MSG> m_posted;
    bool m_closed = false;
    uint64_t m_postCount = 0;
    std::vector<Timer> m_timers; // owner thread only
    int m_eventFd = -1; // readable while m_posted is not empty
    int m_timerFd = -1; // readable while a timer is due
    int m_epollFd = -1; // the two above, as one descriptor for callers
    int m_notifyFd = -1; // counts posts for WaitForFd; created on first wait
};

} // namespace platform
