// The kernel's address and route notices, seen in a network namespace of the
// test's own (made with an unprivileged user namespace): nothing on the
// machine changes and no traffic leaves it.
#include "platform/system/RouteChangeSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kInsideMarker = "TARNWICK_ROUTE_TEST_NAMESPACE";

// Waits for the socket to become readable and drains it.
// A relevant notice within two seconds; notices that do not count (a
// prefix route, say) may come before it.
bool NoticeArrives(platform::RouteChangeSocket& socket)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait {socket.Descriptor(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) != 1)
            return false;
        if (socket.Drain())
            return true;
    }
}

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

TEST(RouteChangeSocket, SeesAddressesAndTheDefaultRouteButNotOtherRoutes)
{
    if (!std::getenv(kInsideMarker)) {
        // Run this test again inside a fresh network namespace.
        const std::string self = [] {
            char path[4096] = {};
            const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
            return std::string(path, length > 0 ? static_cast<size_t>(length) : 0);
        }();
        if (!Shell("unshare -rn true 2>/dev/null"))
            GTEST_SKIP() << "no unprivileged network namespace on this machine (unshare -rn failed)";
        const std::string command = "unshare -rn env " + std::string(kInsideMarker) + "=1 '" + self
            + "' --gtest_filter=RouteChangeSocket.SeesAddressesAndTheDefaultRouteButNotOtherRoutes";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the run in the namespace failed";
        return;
    }
    platform::RouteChangeSocket socket;
    ASSERT_GE(socket.Descriptor(), 0);
    EXPECT_FALSE(socket.Drain()); // nothing yet, and no blocking
    ASSERT_TRUE(Shell("ip link set lo up"));
    socket.Drain(); // the loopback's own host-scope address and routes
    ASSERT_TRUE(Shell("ip addr add 10.9.9.1/32 dev lo"));
    EXPECT_TRUE(NoticeArrives(socket)) << "new address";
    ASSERT_TRUE(Shell("ip route add 10.8.0.0/16 dev lo"));
    pollfd wait {socket.Descriptor(), POLLIN, 0};
    if (::poll(&wait, 1, 500) == 1) {
        EXPECT_FALSE(socket.Drain()) << "a route to a network is no default route";
    }
    ASSERT_TRUE(Shell("ip route add default dev lo"));
    EXPECT_TRUE(NoticeArrives(socket)) << "new default route";
    ASSERT_TRUE(Shell("ip addr del 10.9.9.1/32 dev lo"));
    EXPECT_TRUE(NoticeArrives(socket)) << "address gone";

    // Temporary IPv6 addresses come, rotate every few seconds and go: never a change to publish.
    ASSERT_TRUE(Shell("ip link add v0 type veth peer name v1 && ip link set v0 addrgenmode none"
                      " && ip link set v1 addrgenmode none && sysctl -qw net.ipv6.conf.v0.accept_dad=0"
                      " net.ipv6.conf.v0.use_tempaddr=2 net.ipv6.conf.v0.temp_prefered_lft=4"
                      " && ip link set v1 up && ip link set v0 up"));
    socket.Drain();
    ASSERT_TRUE(Shell("ip -6 addr add 2001:db8:1:2::10/64 dev v0 mngtmpaddr nodad"));
    EXPECT_TRUE(NoticeArrives(socket)) << "stable address";
    pollfd temporary {socket.Descriptor(), POLLIN, 0};
    ASSERT_EQ(::poll(&temporary, 1, 15000), 1) << "the kernel made no temporary address";
    EXPECT_FALSE(socket.Drain()) << "temporary addresses count as a change";
}

} // namespace
