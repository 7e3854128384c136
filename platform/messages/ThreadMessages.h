#pragma once

#include <cstdint>

// Per-thread message queues and thread timers.
//
// A thread gets its queue on first use of any function below (GetCurrentThreadId
// included, so a thread that publishes its id can be posted to from then on); the
// queue is destroyed when the thread ends. Posting is thread-safe; peeking, timers
// and the queue descriptor act on the calling thread's own queue.
namespace platform {

inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_USER = 0x0400;

inline constexpr uint32_t PM_NOREMOVE = 0;
inline constexpr uint32_t PM_REMOVE = 1;

// Window filter of PeekMessage that selects only messages posted to the thread itself.
inline void* const HWND_THREAD_ONLY = reinterpret_cast<void*>(static_cast<intptr_t>(-1));

// Posted messages a queue holds at most; further posts fail.
inline constexpr uint32_t MESSAGE_QUEUE_LIMIT = 10000;

struct MSG
{
    void* hwnd = nullptr;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    uint32_t time = 0; // milliseconds on the monotonic clock, truncated to 32 bits
};

// The calling thread's id: non-zero, unique in the process, never reused.
uint32_t GetCurrentThreadId();

// Queues a message for the thread with that id. False for an unknown or ended
// thread and for a full queue.
bool PostThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Looks at the calling thread's queue. hwnd: nullptr for any message,
// HWND_THREAD_ONLY for thread messages only. filterMin/filterMax: both 0 for
// every message number, else the inclusive range. removeFlags: PM_NOREMOVE or
// PM_REMOVE. Posted messages come first, in posting order; after them one
// WM_TIMER for the earliest due timer (wParam = timer id, lParam = callback).
// Removing a WM_TIMER restarts that timer's period. True when a message was found.
bool PeekMessage(MSG* msg, void* hwnd, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlags);

// Like PeekMessage for the WM_TIMER of one timer only: true when that timer of
// the calling thread is due, whatever other timers are due before it.
bool PeekTimerMessage(MSG* msg, uint32_t timerId, uint32_t removeFlags);

// Starts (or, for an id of a running timer of this thread, restarts) a thread
// timer that makes WM_TIMER due every elapseMs (at least 10 ms). hwnd must be
// nullptr. Returns the timer id (non-zero), 0 on failure.
uint32_t SetTimer(void* hwnd, uint32_t id, uint32_t elapseMs, void* callback);

// Stops a timer of the calling thread. False when there is no such timer.
bool KillTimer(void* hwnd, uint32_t id);

// A descriptor for poll(): readable while a posted message or a due timer is
// waiting in the calling thread's queue. Owned by the queue; do not close or read it.
int GetMessageQueueFd();

// Milliseconds until the calling thread's next timer falls due: 0 when one is
// due, -1 when the thread has no timer. Usable as a poll() timeout.
int NextTimerTimeoutMs();

// Blocks until the calling thread's queue has a posted message or a due timer,
// or timeoutMs passes (-1 waits without limit). True when something is waiting.
bool WaitMessage(int timeoutMs = -1);

} // namespace platform
