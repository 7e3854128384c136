#include "platform/window/RemoteWindow.h"
#include "platform/window/TitleSocket.h"
#include "platform/window/TitleWindow.h"

#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using platform::RemoteWindow;
using platform::TitleRequestKind;
using platform::TitleWindow;

namespace {

constexpr const char* kTitle = "VELT Tarnwick";

// Waits on the owner's descriptor and collects at least `count` requests,
// and goes on serving until `until` (if given) is set.
std::vector<TitleWindow::Request> Collect(TitleWindow& owner, size_t count, const std::atomic<bool>* until = nullptr)
{
    std::vector<TitleWindow::Request> all;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((all.size() < count || (until && !*until)) && std::chrono::steady_clock::now() < deadline) {
        pollfd watch {owner.Fd(), POLLIN, 0};
        ::poll(&watch, 1, 100);
        for (const auto& request : owner.TakeRequests())
            all.push_back(request);
    }
    return all;
}

int RawConnect(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Forks a process that claims kTitle, once `go` (if given) reaches its end,
// reports 'y' or 'n' on `report` and keeps the title until it is killed.
pid_t ForkClaimer(int report, const int* go = nullptr)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (go) {
            ::close(go[1]);
            char start;
            (void)!::read(go[0], &start, 1);
        }
        TitleWindow owner;
        const char result = owner.Claim(kTitle) == TitleWindow::ClaimResult::Claimed ? 'y' : 'n';
        (void)!::write(report, &result, 1);
        ::pause();
        ::_exit(0);
    }
    return child;
}

class WindowTitleTest : public ::testing::Test
{
protected:
    velt::testing::TempHome m_home;
};

} // namespace

TEST_F(WindowTitleTest, PostedMessagesArriveInOrderWithTheirParameters)
{
    TitleWindow owner;
    ASSERT_EQ(owner.Claim(kTitle), TitleWindow::ClaimResult::Claimed);
    ASSERT_TRUE(owner.IsClaimed());

    RemoteWindow window = RemoteWindow::Find(kTitle);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window.BringToFront());
    EXPECT_TRUE(window.PostMessage(0x041E, 0, 0));
    EXPECT_TRUE(window.PostMessage(0x0012, UINTPTR_MAX, -5));

    const auto requests = Collect(owner, 3);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].kind, TitleRequestKind::BringToFront);
    EXPECT_EQ(requests[1].kind, TitleRequestKind::PostMessage);
    EXPECT_EQ(requests[1].message, 0x041Eu);
    EXPECT_EQ(requests[2].message, 0x0012u);
    EXPECT_EQ(requests[2].wParam, UINTPTR_MAX);
    EXPECT_EQ(requests[2].lParam, -5);
}

TEST_F(WindowTitleTest, TitlesAreExactAndMayHoldAnyCharacter)
{
    TitleWindow owner;
    ASSERT_EQ(owner.Claim("a/b c"), TitleWindow::ClaimResult::Claimed);
    EXPECT_TRUE(RemoteWindow::Find("a/b c"));
    EXPECT_FALSE(RemoteWindow::Find("a/b C"));
    EXPECT_FALSE(RemoteWindow::Find("a/b"));
    // The file stays inside the runtime directory whatever the title holds.
    const std::filesystem::path path = platform::TitleSocketPath("../x/../y");
    EXPECT_EQ(path.parent_path(), m_home.runtimeDir());
}

TEST_F(WindowTitleTest, OneOwnerPerTitleAndReleaseHandsItOn)
{
    EXPECT_FALSE(RemoteWindow::Find(kTitle));
    RemoteWindow none;
    EXPECT_FALSE(none.PostMessage(0x0012, 0, 0));
    EXPECT_FALSE(none.BringToFront());

    TitleWindow first;
    TitleWindow second;
    ASSERT_EQ(first.Claim(kTitle), TitleWindow::ClaimResult::Claimed);
    EXPECT_EQ(second.Claim(kTitle), TitleWindow::ClaimResult::OwnedByOther);
    EXPECT_FALSE(second.IsClaimed());

    RemoteWindow stale = RemoteWindow::Find(kTitle);
    ASSERT_TRUE(stale);
    first.Release();
    bool failed = false; // posting to a gone owner fails, at the latest once the close is seen
    for (int i = 0; i < 10 && !failed; ++i)
        failed = !stale.PostMessage(0x0012, 0, 0);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(RemoteWindow::Find(kTitle));
    EXPECT_FALSE(std::filesystem::exists(platform::TitleSocketPath(kTitle)));
    EXPECT_EQ(second.Claim(kTitle), TitleWindow::ClaimResult::Claimed);
    EXPECT_TRUE(RemoteWindow::Find(kTitle));
}

TEST_F(WindowTitleTest, SocketOfAKilledOwnerIsTakenOver)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ForkClaimer(ready[1]);
    char result = 0;
    ASSERT_EQ(::read(ready[0], &result, 1), 1);
    ASSERT_EQ(result, 'y');
    EXPECT_TRUE(RemoteWindow::Find(kTitle));

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_TRUE(std::filesystem::exists(platform::TitleSocketPath(kTitle))); // left behind

    EXPECT_FALSE(RemoteWindow::Find(kTitle));
    TitleWindow owner;
    ASSERT_EQ(owner.Claim(kTitle), TitleWindow::ClaimResult::Claimed);
    RemoteWindow window = RemoteWindow::Find(kTitle);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window.PostMessage(0x041E, 1, 2));
    EXPECT_EQ(Collect(owner, 1).size(), 1u);
}

TEST_F(WindowTitleTest, ProcessesClaimingAtOnceGetOneOwner)
{
    constexpr int kRacers = 8;
    int results[2];
    int go[2];
    ASSERT_EQ(::pipe(results), 0);
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kRacers; ++i)
        children.push_back(ForkClaimer(results[1], go));
    ::close(go[0]);
    ::close(go[1]); // all racers start now
    int owners = 0;
    for (int i = 0; i < kRacers; ++i) {
        char result = 0;
        ASSERT_EQ(::read(results[0], &result, 1), 1);
        owners += result == 'y';
    }
    for (pid_t child : children) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    ::close(results[0]);
    ::close(results[1]);
    EXPECT_EQ(owners, 1);
}

TEST_F(WindowTitleTest, GarbageFromOnePeerDoesNotStopTheOthers)
{
    TitleWindow owner;
    ASSERT_EQ(owner.Claim(kTitle), TitleWindow::ClaimResult::Claimed);
    const std::string path = platform::TitleSocketPath(kTitle);

    // A record split over two writes still counts.
    const int split = RawConnect(path);
    ASSERT_GE(split, 0);
    platform::TitleRecord record;
    record.magic = platform::kTitleRecordMagic;
    record.kind = static_cast<uint32_t>(TitleRequestKind::PostMessage);
    record.message = 0x0012;
    ASSERT_EQ(::send(split, &record, 10, 0), 10);
    pollfd watch {owner.Fd(), POLLIN, 0};
    ::poll(&watch, 1, 1000);
    EXPECT_TRUE(owner.TakeRequests().empty()); // half a record is no request yet

    const int garbage = RawConnect(path);
    ASSERT_GE(garbage, 0);
    const std::string junk(1 << 20, '\xAB');
    std::atomic<bool> written {false};
    std::thread writer([&] {
        (void)!::send(garbage, junk.data(), junk.size(), MSG_NOSIGNAL);
        written = true;
    });
    ASSERT_EQ(::send(split, reinterpret_cast<char*>(&record) + 10, sizeof record - 10, 0),
              static_cast<ssize_t>(sizeof record - 10));
    RemoteWindow window = RemoteWindow::Find(kTitle);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window.PostMessage(0x041E, 0, 0));

    // The owner drops the garbage peer, which ends its blocked write.
    auto requests = Collect(owner, 2, &written);
    writer.join();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].message + requests[1].message, 0x0012u + 0x041Eu);
    ::close(split);
    ::close(garbage);
}

TEST_F(WindowTitleTest, IdlePeersMakeRoomAndATurnedAwaySenderKnows)
{
    TitleWindow owner;
    ASSERT_EQ(owner.Claim(kTitle), TitleWindow::ClaimResult::Claimed);
    std::vector<RemoteWindow> idle;
    for (size_t i = 0; i < TitleWindow::kMaxConnections + 8; ++i) {
        idle.push_back(RemoteWindow::Find(kTitle));
        owner.TakeRequests();
    }
    // Every place is held by a peer that has not been idle long: turned away, and told so.
    RemoteWindow early = RemoteWindow::Find(kTitle);
    ASSERT_TRUE(early);
    EXPECT_TRUE(early.PostMessage(0x041E, 0, 0));
    owner.TakeRequests();
    EXPECT_FALSE(early.Confirm(std::chrono::seconds(2)));

    // Once they have been idle a while, they make room.
    std::this_thread::sleep_for(TitleWindow::kIdleLimit + std::chrono::milliseconds(100));
    RemoteWindow window = RemoteWindow::Find(kTitle);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window.PostMessage(0x041E, 0, 0));
    EXPECT_TRUE(window.BringToFront());
    std::atomic<bool> confirmed {false};
    std::thread sender([&] { confirmed = window.Confirm(); });
    EXPECT_EQ(Collect(owner, 2).size(), 2u);
    sender.join();
    EXPECT_TRUE(confirmed);
}

TEST_F(WindowTitleTest, ClaimFailsCleanlyWhenThePathCannotBeUsed)
{
    velt::testing::ScopedEnv longDir("XDG_RUNTIME_DIR", (m_home.runtimeDir() / std::string(120, 'x')).string());
    TitleWindow owner;
    std::string error;
    EXPECT_EQ(owner.Claim(kTitle, &error), TitleWindow::ClaimResult::Failed);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(owner.IsClaimed());
    EXPECT_EQ(owner.Fd(), -1);
    EXPECT_FALSE(RemoteWindow::Find(kTitle));
}
