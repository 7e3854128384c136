#include "platform/messages/MessageQueue.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

namespace {

// Timer ids are unique in the process, so a stale id never stops another timer.
std::atomic<uint32_t> g_nextTimerId {1};

constexpr uint32_t kMinimumTimerMs = 10;

uint32_t TickCount(MessageQueue::Clock::time_point t)
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(t.time_since_epoch()).count());
}

void Drain(int fd)
{
    uint64_t value;
    while (read(fd, &value, sizeof value) < 0 && errno == EINTR) { }
}

void Signal(int fd)
{
    const uint64_t one = 1;
    while (write(fd, &one, sizeof one) < 0 && errno == EINTR) { }
}

bool Matches(const MSG& msg, void* hwnd, uint32_t filterMin, uint32_t filterMax)
{
    if (hwnd == HWND_THREAD_ONLY) {
        if (msg.hwnd != nullptr)
            return false;
    } else if (hwnd != nullptr && msg.hwnd != hwnd) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0)
        return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

// Milliseconds from now to t, rounded up so that a wait never ends just before t.
int MillisecondsUntil(MessageQueue::Clock::time_point t, MessageQueue::Clock::time_point now)
{
    using namespace std::chrono;
    if (t <= now)
        return 0;
    const auto us = duration_cast<microseconds>(t - now).count();
    const auto ms = (us + 999) / 1000;
    return static_cast<int>(std::min<long long>(ms, 0x7fffffff));
}

} // namespace

MessageQueue::MessageQueue(uint32_t threadId)
    : m_threadId(threadId)
{
    // A queue without descriptors still queues and peeks; only waiting in poll() is lost.
    m_eventFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    m_epollFd = epoll_create1(EPOLL_CLOEXEC);
    if (m_epollFd >= 0) {
        for (int fd : {m_eventFd, m_timerFd}) {
            if (fd < 0)
                continue;
            epoll_event ev {};
            ev.events = EPOLLIN;
            ev.data.fd = fd;
            epoll_ctl(m_epollFd, EPOLL_CTL_ADD, fd, &ev);
        }
    }
}

MessageQueue::~MessageQueue()
{
    for (int fd : {m_epollFd, m_eventFd, m_timerFd, m_notifyFd}) {
        if (fd >= 0)
            close(fd);
    }
}

bool MessageQueue::Post(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    std::lock_guard lock(m_mutex);
    if (m_closed || m_posted.size() >= MESSAGE_QUEUE_LIMIT)
        return false;
    MSG msg;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = TickCount(Clock::now());
    m_posted.push_back(msg);
    ++m_postCount;
    if (m_posted.size() == 1 && m_eventFd >= 0)
        Signal(m_eventFd);
    if (m_notifyFd >= 0)
        Signal(m_notifyFd);
    return true;
}

void MessageQueue::Close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_posted.clear();
}

bool MessageQueue::Peek(MSG* msg, void* hwnd, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlags)
{
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_posted.begin(); it != m_posted.end(); ++it) {
            if (!Matches(*it, hwnd, filterMin, filterMax))
                continue;
            if (msg)
                *msg = *it;
            if (removeFlags & PM_REMOVE) {
                m_posted.erase(it);
                if (m_posted.empty() && m_eventFd >= 0)
                    Drain(m_eventFd);
            }
            return true;
        }
    }
    // Timer messages are made when asked for, after every posted message, and
    // never pile up: a late timer gives one WM_TIMER, as on Windows.
    MSG probe;
    probe.message = WM_TIMER;
    if (!Matches(probe, hwnd, filterMin, filterMax))
        return false;
    const auto now = Clock::now();
    Timer* timer = EarliestDueTimer(now);
    if (!timer)
        return false;
    if (msg)
        *msg = TimerMessage(*timer, now);
    if (removeFlags & PM_REMOVE)
        ConsumeTimer(*timer, now);
    return true;
}

bool MessageQueue::PeekTimer(MSG* msg, uint32_t timerId, uint32_t removeFlags)
{
    const auto now = Clock::now();
    Timer* timer = FindTimer(timerId);
    if (!timer || timer->due > now)
        return false;
    if (msg)
        *msg = TimerMessage(*timer, now);
    if (removeFlags & PM_REMOVE)
        ConsumeTimer(*timer, now);
    return true;
}

uint32_t MessageQueue::SetTimer(uint32_t id, uint32_t elapseMs, void* callback)
{
    const uint32_t period = std::max(elapseMs, kMinimumTimerMs);
    const auto due = Clock::now() + std::chrono::milliseconds(period);
    if (Timer* existing = id != 0 ? FindTimer(id) : nullptr) {
        existing->periodMs = period;
        existing->due = due;
        existing->callback = callback;
    } else {
        id = g_nextTimerId.fetch_add(1);
        if (id == 0)
            id = g_nextTimerId.fetch_add(1);
        m_timers.push_back({id, period, due, callback});
    }
    ArmTimerFd();
    return id;
}

bool MessageQueue::KillTimer(uint32_t id)
{
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [id](const Timer& t) { return t.id == id; });
    if (it == m_timers.end())
        return false;
    m_timers.erase(it);
    ArmTimerFd();
    return true;
}

int MessageQueue::NextTimerTimeoutMs() const
{
    if (m_timers.empty())
        return -1;
    auto earliest = m_timers.front().due;
    for (const Timer& t : m_timers)
        earliest = std::min(earliest, t.due);
    return MillisecondsUntil(earliest, Clock::now());
}

bool MessageQueue::WaitForInput(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (HasPostedLocked())
                return true;
        }
        const auto now = Clock::now();
        if (EarliestDueTimer(now))
            return true;
        int wait = NextTimerTimeoutMs();
        if (timeoutMs >= 0) {
            if (now >= deadline)
                return false;
            const int left = MillisecondsUntil(deadline, now);
            wait = wait < 0 ? left : std::min(wait, left);
        }
        if (m_epollFd < 0) {
            // Without a descriptor there is nothing to sleep on; look again shortly.
            poll(nullptr, 0, wait < 0 ? 10 : std::min(wait, 10));
            continue;
        }
        pollfd pfd {m_epollFd, POLLIN, 0};
        if (poll(&pfd, 1, wait) < 0 && errno != EINTR)
            return false;
    }
}

MessageMark MessageQueue::Mark()
{
    MessageMark mark;
    std::lock_guard lock(m_mutex);
    mark.postCount = m_postCount;
    mark.time = Clock::now();
    return mark;
}

MessageWaitResult MessageQueue::WaitForFd(int fd, short events, int timeoutMs, const MessageMark& mark, short* revents)
{
    if (revents)
        *revents = 0;
    if (!EnsureNotifyFd())
        return MessageWaitResult::Failed;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_postCount != mark.postCount)
                return MessageWaitResult::NewMessage;
        }
        const auto now = Clock::now();
        // Only timers that fall due after the mark are news; one that was due
        // before it and not taken stays for the thread's own message loop.
        int wait = -1;
        for (const Timer& t : m_timers) {
            if (t.due <= mark.time)
                continue;
            if (t.due <= now)
                return MessageWaitResult::NewMessage;
            const int ms = MillisecondsUntil(t.due, now);
            wait = wait < 0 ? ms : std::min(wait, ms);
        }
        if (timeoutMs >= 0) {
            if (now >= deadline)
                return MessageWaitResult::Timeout;
            const int left = MillisecondsUntil(deadline, now);
            wait = wait < 0 ? left : std::min(wait, left);
        }
        pollfd pfds[2] = {{m_notifyFd, POLLIN, 0}, {fd, events, 0}};
        const int count = fd >= 0 ? 2 : 1;
        const int rc = poll(pfds, count, wait);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return MessageWaitResult::Failed;
        }
        if (pfds[0].revents & POLLIN)
            Drain(m_notifyFd);
        if (count == 2 && pfds[1].revents) {
            if (revents)
                *revents = pfds[1].revents;
            return MessageWaitResult::Ready;
        }
    }
}

MessageQueue::Timer* MessageQueue::EarliestDueTimer(Clock::time_point now)
{
    Timer* best = nullptr;
    for (Timer& t : m_timers) {
        if (t.due <= now && (!best || t.due < best->due))
            best = &t;
    }
    return best;
}

MessageQueue::Timer* MessageQueue::FindTimer(uint32_t id)
{
    for (Timer& t : m_timers) {
        if (t.id == id)
            return &t;
    }
    return nullptr;
}

MSG MessageQueue::TimerMessage(const Timer& timer, Clock::time_point now) const
{
    MSG msg;
    msg.message = WM_TIMER;
    msg.wParam = timer.id;
    msg.lParam = reinterpret_cast<intptr_t>(timer.callback);
    msg.time = TickCount(now);
    return msg;
}

void MessageQueue::ConsumeTimer(Timer& timer, Clock::time_point now)
{
    timer.due = now + std::chrono::milliseconds(timer.periodMs);
    ArmTimerFd();
}

void MessageQueue::ArmTimerFd()
{
    if (m_timerFd < 0)
        return;
    // Setting the timer again also clears an expiry that was not read.
    itimerspec spec {};
    if (!m_timers.empty()) {
        auto earliest = m_timers.front().due;
        for (const Timer& t : m_timers)
            earliest = std::min(earliest, t.due);
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(earliest.time_since_epoch()).count();
        spec.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
        spec.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
        if (spec.it_value.tv_sec == 0 && spec.it_value.tv_nsec == 0)
            spec.it_value.tv_nsec = 1;
    }
    timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME, &spec, nullptr);
}

bool MessageQueue::EnsureNotifyFd()
{
    std::lock_guard lock(m_mutex);
    if (m_notifyFd < 0)
        m_notifyFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return m_notifyFd >= 0;
}

} // namespace platform
