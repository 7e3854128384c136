#include "tarnwick/cycle/UiMessageChannel.h"

#include "tarnwick/cycle/tests/CycleTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

using namespace tarnwick;
using tarnwick::test::PumpUntil;

namespace {

class UiMessageChannelTest : public ::testing::Test
{
protected:
    void SetUp() override { tarnwick::test::EnsureQtApplication(); }
};

} // namespace

TEST_F(UiMessageChannelTest, SentMessagesRunOnTheUiThreadWhileTheSenderWaits)
{
    QThread* uiThread = QThread::currentThread();
    std::vector<uint32_t> seen;
    bool onUiThread = true;
    auto channel = UiMessageChannel::Create([&](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        onUiThread = onUiThread && QThread::currentThread() == uiThread;
        seen.push_back(message);
        // A text parameter is valid during the call.
        return message == 1 ? static_cast<intptr_t>(std::string(reinterpret_cast<const char*>(lParam)).size())
                            : static_cast<intptr_t>(wParam * 2);
    });
    std::atomic<intptr_t> first {-1};
    std::atomic<intptr_t> second {-1};
    std::thread worker([&] {
        const std::string text = "Webseite";
        first = channel->SendMessage(1, 0, reinterpret_cast<intptr_t>(text.c_str()));
        second = channel->SendMessage(2, 21, 0);
        channel->PostMessage(3, 0, 0);
    });
    ASSERT_TRUE(PumpUntil([&] { return seen.size() == 3; }));
    worker.join();
    EXPECT_EQ(first, 8);
    EXPECT_EQ(second, 42);
    EXPECT_EQ(seen, (std::vector<uint32_t> {1, 2, 3}));
    EXPECT_TRUE(onUiThread);
    // On the handler's own thread a sent message runs at once.
    EXPECT_EQ(channel->SendMessage(2, 5, 0), 10);
    channel->Close();
}

TEST_F(UiMessageChannelTest, CloseLetsWaitingSendersGoAndSilencesLaterOnes)
{
    int handled = 0;
    auto channel = UiMessageChannel::Create([&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
        ++handled;
        return 7;
    });
    // Several workers block in sends that the UI thread never gets to.
    std::vector<std::future<intptr_t>> results;
    std::atomic<int> started {0};
    for (int i = 0; i < 4; ++i) {
        results.push_back(std::async(std::launch::async, [&, keep = channel] {
            ++started;
            return keep->SendMessage(1, 0, 0);
        }));
    }
    while (started < 4)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    channel->Close();
    for (auto& result : results) {
        ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        EXPECT_EQ(result.get(), 0);
    }
    // A worker that outlives the window reaches nothing.
    std::thread late([keep = channel] {
        EXPECT_EQ(keep->SendMessage(1, 0, 0), 0);
        keep->PostMessage(1, 0, 0);
    });
    late.join();
    tarnwick::test::PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(handled, 0);
    EXPECT_TRUE(channel->IsClosed());
}

TEST_F(UiMessageChannelTest, TheHandlerMayCloseTheChannelItself)
{
    std::shared_ptr<UiMessageChannel> channel;
    int handled = 0;
    channel = UiMessageChannel::Create([&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
        ++handled;
        channel->Close(); // the window goes while handling a message
        return 1;
    });
    std::atomic<intptr_t> result {-1};
    std::thread worker([&, keep = channel] {
        result = keep->SendMessage(1, 0, 0);
        keep->PostMessage(2, 0, 0);
    });
    ASSERT_TRUE(PumpUntil([&] { return result != -1; }));
    worker.join();
    tarnwick::test::PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(handled, 1);
}
