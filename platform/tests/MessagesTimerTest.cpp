#include "platform/messages/MessageWait.h"
#include "platform/messages/ThreadMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <thread>

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

bool Readable(int fd, int timeoutMs)
{
    pollfd pfd {fd, POLLIN, 0};
    return poll(&pfd, 1, timeoutMs) == 1 && (pfd.revents & POLLIN);
}

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

template<typename F>
void OnNewThread(F body)
{
    std::thread(body).join();
}

} // namespace

TEST(MessagesTimer, FiresAfterItsPeriodWithItsIdAndNotBefore)
{
    OnNewThread([] {
        const auto start = Clock::now();
        int marker = 0;
        const uint32_t id = SetTimer(nullptr, 0, 100, &marker);
        ASSERT_NE(id, 0u);
        MSG msg;
        EXPECT_FALSE(PeekMessage(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
        const int timeout = NextTimerTimeoutMs();
        EXPECT_GT(timeout, 0);
        EXPECT_LE(timeout, 100);
        // The queue descriptor alone wakes the waiter: no timeout arithmetic needed.
        ASSERT_TRUE(Readable(GetMessageQueueFd(), 5000));
        EXPECT_GE(MsSince(start), 100);
        EXPECT_EQ(NextTimerTimeoutMs(), 0);
        ASSERT_TRUE(PeekMessage(&msg, HWND_THREAD_ONLY, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_TIMER);
        EXPECT_EQ(msg.wParam, id);
        EXPECT_EQ(msg.lParam, reinterpret_cast<intptr_t>(&marker));
        // Taking the message starts the next period.
        EXPECT_FALSE(Readable(GetMessageQueueFd(), 0));
        EXPECT_GT(NextTimerTimeoutMs(), 0);
        EXPECT_TRUE(KillTimer(nullptr, id));
    });
}

TEST(MessagesTimer, ALateTimerGivesOneMessageNotOnePerPeriod)
{
    OnNewThread([] {
        const uint32_t id = SetTimer(nullptr, 0, 10, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        MSG msg;
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, id);
        EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        KillTimer(nullptr, id);
    });
}

TEST(MessagesTimer, PostedMessagesComeBeforeTimerMessages)
{
    OnNewThread([] {
        const uint32_t id = SetTimer(nullptr, 0, 10, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PostThreadMessage(GetCurrentThreadId(), WM_USER, 0, 0);
        MSG msg;
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_USER);
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_TIMER);
        KillTimer(nullptr, id);
    });
}

TEST(MessagesTimer, AKilledTimerNeverFiresAndCannotBeKilledTwice)
{
    OnNewThread([] {
        const uint32_t id = SetTimer(nullptr, 0, 20, nullptr);
        EXPECT_TRUE(KillTimer(nullptr, id));
        EXPECT_FALSE(KillTimer(nullptr, id));
        EXPECT_EQ(NextTimerTimeoutMs(), -1);
        EXPECT_FALSE(Readable(GetMessageQueueFd(), 80));
        MSG msg;
        EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        // Killing a due timer also clears the descriptor.
        const uint32_t due = SetTimer(nullptr, 0, 10, nullptr);
        ASSERT_TRUE(Readable(GetMessageQueueFd(), 5000));
        EXPECT_TRUE(KillTimer(nullptr, due));
        EXPECT_FALSE(Readable(GetMessageQueueFd(), 0));
    });
}

TEST(MessagesTimer, SettingARunningTimerAgainRestartsItUnderTheSameId)
{
    OnNewThread([] {
        const uint32_t id = SetTimer(nullptr, 0, 20, nullptr);
        EXPECT_EQ(SetTimer(nullptr, id, 5000, nullptr), id);
        EXPECT_GT(NextTimerTimeoutMs(), 1000);
        EXPECT_FALSE(Readable(GetMessageQueueFd(), 60));
        // An id that is not a running timer of this thread gets a new one.
        const uint32_t other = SetTimer(nullptr, id + 1000, 20, nullptr);
        EXPECT_NE(other, id + 1000);
        EXPECT_NE(other, id);
        KillTimer(nullptr, id);
        KillTimer(nullptr, other);
    });
}

TEST(MessagesTimer, TimersBelongToTheirThread)
{
    uint32_t foreign = 0;
    std::thread([&foreign] { foreign = SetTimer(nullptr, 0, 10, nullptr); }).join();
    OnNewThread([foreign] {
        EXPECT_FALSE(KillTimer(nullptr, foreign));
        EXPECT_EQ(NextTimerTimeoutMs(), -1);
        EXPECT_EQ(SetTimer(reinterpret_cast<void*>(0x10), 0, 10, nullptr), 0u);
    });
}

TEST(MessagesTimer, PeekTimerFindsItsOwnTimerBehindAnEarlierOne)
{
    OnNewThread([] {
        const uint32_t early = SetTimer(nullptr, 0, 10, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const uint32_t late = SetTimer(nullptr, 0, 10, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        MSG msg;
        ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
        EXPECT_EQ(msg.wParam, early);
        ASSERT_TRUE(PeekTimerMessage(&msg, late, PM_REMOVE));
        EXPECT_EQ(msg.wParam, late);
        EXPECT_FALSE(PeekTimerMessage(&msg, late, PM_NOREMOVE));
        EXPECT_TRUE(PeekTimerMessage(&msg, early, PM_NOREMOVE));
        KillTimer(nullptr, early);
        KillTimer(nullptr, late);
    });
}

TEST(MessagesTimer, AWaitWakesForATimerDueAfterTheMarkButNotForAnOldOne)
{
    OnNewThread([] {
        const uint32_t old = SetTimer(nullptr, 0, 10, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const MessageMark mark = TakeMessageMark();
        EXPECT_EQ(WaitForFdOrNewMessage(-1, 0, 50, mark, nullptr), MessageWaitResult::Timeout);
        const auto start = Clock::now();
        const uint32_t fresh = SetTimer(nullptr, 0, 60, nullptr);
        EXPECT_EQ(WaitForFdOrNewMessage(-1, 0, 5000, mark, nullptr), MessageWaitResult::NewMessage);
        EXPECT_GE(MsSince(start), 60);
        KillTimer(nullptr, old);
        KillTimer(nullptr, fresh);
    });
}
