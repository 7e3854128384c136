#include "kestrup/ProgramShutdown.h"

#include "platform/window/TitleWindow.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <poll.h>
#include <thread>

using namespace kestrup;

namespace {

// A program's main window on a thread of its own: records what is posted to
// it and gives its title up after `endAfter` posts (0: never).
class FakeProgramWindow
{
public:
    FakeProgramWindow(const std::string& title, int endAfter)
    {
        EXPECT_EQ(m_title.Claim(title), platform::TitleWindow::ClaimResult::Claimed);
        m_thread = std::thread([this, endAfter] {
            while (!m_stop) {
                pollfd fd {m_title.Fd(), POLLIN, 0};
                ::poll(&fd, 1, 20);
                for (const auto& request : m_title.TakeRequests()) {
                    if (request.kind != platform::TitleRequestKind::PostMessage)
                        continue;
                    std::lock_guard lock(m_mutex);
                    m_posts.push_back(request.message);
                    if (endAfter > 0 && static_cast<int>(m_posts.size()) == endAfter)
                        m_title.Release();
                }
            }
        });
    }
    ~FakeProgramWindow()
    {
        m_stop = true;
        m_thread.join();
    }
    std::vector<uint32_t> Posts()
    {
        std::lock_guard lock(m_mutex);
        return m_posts;
    }

private:
    platform::TitleWindow m_title;
    std::atomic<bool> m_stop {false};
    std::mutex m_mutex;
    std::vector<uint32_t> m_posts;
    std::thread m_thread;
};

TEST(ProgramShutdownTest, EndsOrGivesUpAfterTenPosts)
{
    velt::testing::TempHome home;
    std::vector<std::string> messages;
    const auto stop = [&](const std::string& text) { messages.push_back(text); };

    EXPECT_FALSE(QuitProgram("", stop));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Es wurde kein Name für das zu beendende Programm angegeben!");

    messages.clear();
    EXPECT_TRUE(QuitProgram("VELT Tarnwick", stop));
    EXPECT_TRUE(messages.empty());

    {
        FakeProgramWindow window("VELT Tarnwick", 1);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_TRUE(QuitProgram("VELT Tarnwick", stop));
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
        EXPECT_EQ(window.Posts(), (std::vector<uint32_t> {WM_QUIT}));
        EXPECT_TRUE(messages.empty());
    }
    {
        FakeProgramWindow window("VELT Tarnwick", 0);
        EXPECT_FALSE(QuitProgram("VELT Tarnwick", stop, std::chrono::milliseconds(20)));
        for (int i = 0; i < 100 && window.Posts().size() < 10; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::vector<uint32_t> alternating
            = {WM_QUIT, WM_DESTROY, WM_QUIT, WM_DESTROY, WM_QUIT, WM_DESTROY, WM_QUIT, WM_DESTROY, WM_QUIT, WM_DESTROY};
        EXPECT_EQ(window.Posts(), alternating);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0],
                  "Das Programm \"VELT Tarnwick\" läßt sich nicht beenden!\nBitte beenden Sie das "
                  "Programm, damit die Installation fortgeführt werden kann.");
    }
}

} // namespace
