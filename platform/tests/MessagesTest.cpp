#include "platform/messages/MessageWait.h"
#include "platform/messages/ThreadMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>
#include <poll.h>
#include <thread>
#include <vector>

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kFirst = WM_USER + 1;
constexpr uint32_t kSecond = WM_USER + 2;
constexpr uint32_t kCancel = 0x07E9;

bool Readable(int fd, int timeoutMs = 0)
{
    pollfd pfd {fd, POLLIN, 0};
    return poll(&pfd, 1, timeoutMs) == 1 && (pfd.revents & POLLIN);
}

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void EmptyQueue()
{
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) { }
}

// Each test runs on a fresh thread, so queues and timers never leak between tests.
template<typename F>
void OnNewThread(F body)
{
    std::thread(body).join();
}

} // namespace

struct FilterCase
{
    const char* name;
    void* hwnd;
    uint32_t min;
    uint32_t max;
    uint32_t expected; // 0: nothing matches
};

TEST(MessagesQueue, FiltersSelectTheFirstMatchingMessageAndLeaveTheRest)
{
    const FilterCase cases[] = {{"AnyWindowAnyNumber", nullptr, 0, 0, kFirst},
                                {"ThreadOnlyAnyNumber", HWND_THREAD_ONLY, 0, 0, kFirst},
                                {"ExactNumberInTheMiddle", HWND_THREAD_ONLY, kCancel, kCancel, kCancel},
                                {"RangeSkipsEarlierMessages", nullptr, kSecond, kCancel, kCancel},
                                {"RangeWithoutMatch", nullptr, WM_TIMER, WM_TIMER, 0},
                                {"SomeWindowGetsNoThreadMessage", reinterpret_cast<void*>(0x1234), 0, 0, 0}};
    OnNewThread([&cases] {
        const uint32_t self = GetCurrentThreadId();
        for (const FilterCase& c : cases) {
            ASSERT_TRUE(PostThreadMessage(self, kFirst, 1, 0));
            ASSERT_TRUE(PostThreadMessage(self, kCancel, 2, 0));
            ASSERT_TRUE(PostThreadMessage(self, kSecond, 3, 0));
            MSG msg;
            const bool found = PeekMessage(&msg, c.hwnd, c.min, c.max, PM_REMOVE);
            EXPECT_EQ(found, c.expected != 0) << c.name;
            if (found) {
                EXPECT_EQ(msg.message, c.expected) << c.name;
            }
            // Whatever was not taken is still there.
            size_t rest = 0;
            while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
                ++rest;
            EXPECT_EQ(rest, found ? 2u : 3u) << c.name;
        }
    });
}

TEST(MessagesQueue, PostedMessagesComeBackInOrderAndKeepTheDescriptorReadable)
{
    OnNewThread([] {
        const int fd = GetMessageQueueFd();
        ASSERT_GE(fd, 0);
        EXPECT_FALSE(Readable(fd));
        ASSERT_TRUE(PostThreadMessage(GetCurrentThreadId(), kFirst, 11, -1));
        ASSERT_TRUE(PostThreadMessage(GetCurrentThreadId(), kSecond, 22, 0x7fffffff));
        EXPECT_TRUE(Readable(fd));
        MSG msg;
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, kFirst);
        EXPECT_EQ(msg.wParam, 11u);
        EXPECT_EQ(msg.lParam, -1);
        EXPECT_EQ(msg.hwnd, nullptr);
        EXPECT_TRUE(Readable(fd));
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, kSecond);
        EXPECT_EQ(msg.lParam, 0x7fffffff);
        EXPECT_FALSE(Readable(fd));
        EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
    });
}

TEST(MessagesQueue, PostsToUnknownOrEndedThreadsFail)
{
    EXPECT_FALSE(PostThreadMessage(0, kFirst, 0, 0));
    EXPECT_FALSE(PostThreadMessage(0xfffffff0u, kFirst, 0, 0));
    uint32_t ended = 0;
    std::thread([&ended] {
        ended = GetCurrentThreadId();
        EXPECT_TRUE(PostThreadMessage(ended, kFirst, 0, 0));
    }).join();
    EXPECT_FALSE(PostThreadMessage(ended, kFirst, 0, 0));
    // A new thread never inherits the ended one's id.
    std::thread([ended] { EXPECT_NE(GetCurrentThreadId(), ended); }).join();
}

TEST(MessagesQueue, AFullQueueRefusesPostsUntilOneIsTaken)
{
    OnNewThread([] {
        const uint32_t self = GetCurrentThreadId();
        for (uint32_t i = 0; i < MESSAGE_QUEUE_LIMIT; ++i)
            ASSERT_TRUE(PostThreadMessage(self, kFirst, i, 0)) << i;
        EXPECT_FALSE(PostThreadMessage(self, kSecond, 0, 0));
        MSG msg;
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, 0u);
        EXPECT_TRUE(PostThreadMessage(self, kSecond, 0, 0));
        EmptyQueue();
    });
}

TEST(MessagesQueue, ManyThreadsPostingLoseNothingAndKeepEachSendersOrder)
{
    constexpr int kSenders = 8;
    constexpr int kPerSender = 1000;
    std::promise<uint32_t> receiverId;
    std::map<uintptr_t, std::vector<intptr_t>> bySender;
    std::thread receiver([&] {
        receiverId.set_value(GetCurrentThreadId());
        int got = 0;
        MSG msg;
        while (got < kSenders * kPerSender) {
            if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ASSERT_TRUE(WaitMessage(10000));
                continue;
            }
            bySender[msg.wParam].push_back(msg.lParam);
            ++got;
        }
    });
    const uint32_t target = receiverId.get_future().get();
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([target, s] {
            for (int i = 0; i < kPerSender; ++i) {
                while (!PostThreadMessage(target, kFirst, s, i))
                    std::this_thread::yield(); // the receiver's queue was full for a moment
            }
        });
    }
    for (auto& t : senders)
        t.join();
    receiver.join();
    ASSERT_EQ(bySender.size(), static_cast<size_t>(kSenders));
    for (const auto& [sender, values] : bySender) {
        ASSERT_EQ(values.size(), static_cast<size_t>(kPerSender));
        for (int i = 0; i < kPerSender; ++i)
            ASSERT_EQ(values[i], i) << "sender " << sender;
    }
}

TEST(MessagesTimer, FiresAfterItsPeriodWithItsIdAndRestartsWhenSetAgain)
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
        EXPECT_FALSE(Readable(GetMessageQueueFd()));
        EXPECT_GT(NextTimerTimeoutMs(), 0);
        // Setting a running timer again restarts it under the same id.
        EXPECT_EQ(SetTimer(nullptr, id, 5000, nullptr), id);
        EXPECT_GT(NextTimerTimeoutMs(), 1000);
        EXPECT_FALSE(Readable(GetMessageQueueFd(), 150));
        // An id that is not a running timer of this thread gets a new one.
        const uint32_t other = SetTimer(nullptr, id + 1000, 20, nullptr);
        EXPECT_NE(other, id + 1000);
        EXPECT_NE(other, id);
        EXPECT_TRUE(KillTimer(nullptr, id));
        KillTimer(nullptr, other);
    });
}

TEST(MessagesTimer, ALateTimerGivesOneMessageAfterThePostedOnes)
{
    OnNewThread([] {
        const uint32_t id = SetTimer(nullptr, 0, 10, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        PostThreadMessage(GetCurrentThreadId(), WM_USER, 0, 0);
        MSG msg;
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_USER);
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_TIMER);
        EXPECT_EQ(msg.wParam, id);
        EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        KillTimer(nullptr, id);
    });
}

TEST(MessagesTimer, AKilledTimerNeverFiresAndTimersBelongToTheirThread)
{
    uint32_t foreign = 0;
    std::thread([&foreign] { foreign = SetTimer(nullptr, 0, 10, nullptr); }).join();
    OnNewThread([foreign] {
        EXPECT_FALSE(KillTimer(nullptr, foreign));
        EXPECT_EQ(SetTimer(reinterpret_cast<void*>(0x10), 0, 10, nullptr), 0u);
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
        EXPECT_FALSE(Readable(GetMessageQueueFd()));
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

TEST(MessagesWait, OnlyInputAfterTheMarkWakesAWait)
{
    OnNewThread([] {
        const uint32_t self = GetCurrentThreadId();
        ASSERT_TRUE(PostThreadMessage(self, kFirst, 0, 0));
        const uint32_t old = SetTimer(nullptr, 0, 10, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const MessageMark mark = TakeMessageMark();
        // Neither the message posted nor the timer due before the mark ends the wait.
        EXPECT_EQ(WaitForFdOrNewMessage(-1, 0, 50, mark, nullptr), MessageWaitResult::Timeout);
        std::thread([self] { PostThreadMessage(self, kSecond, 0, 0); }).join();
        EXPECT_EQ(WaitForFdOrNewMessage(-1, 0, 5000, mark, nullptr), MessageWaitResult::NewMessage);
        // A timer falling due after the mark wakes the wait as well.
        const MessageMark later = TakeMessageMark();
        const auto start = Clock::now();
        const uint32_t fresh = SetTimer(nullptr, 0, 60, nullptr);
        EXPECT_EQ(WaitForFdOrNewMessage(-1, 0, 5000, later, nullptr), MessageWaitResult::NewMessage);
        EXPECT_GE(MsSince(start), 60);
        KillTimer(nullptr, old);
        KillTimer(nullptr, fresh);
        EmptyQueue();
    });
}
