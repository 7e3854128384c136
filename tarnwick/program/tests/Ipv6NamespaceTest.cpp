// The program publishing the stable IPv6 address, between two network
// namespaces of the test's own joined by a veth pair (documentation addresses,
// no traffic leaves them): the client side has a stable address and temporary
// addresses the kernel rotates every few seconds; nginx on the server side
// takes the page, answers the address service and reads it back.
#include "platform/system/Ipv6AddressList.h"
#include "platform/url/IpAddressText.h"
#include "testing/FreeTcpPort.h"
#include "testing/FtpServer.h"
#include "testing/NginxServer.h"
#include "testing/TempDir.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <memory>
#include <poll.h>
#include <sched.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kInsideMarker = "TARNWICK_IPV6_TEST_NAMESPACE";
constexpr const char* kServer = "2001:db8:1:2::1";

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

std::string Quoted(const std::string& arg)
{
    std::string quoted = "'";
    for (const char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct Outcome
{
    int exitCode = -1;
    std::string out;
};

// The temporary addresses on the client's link, from the kernel's notices.
class TemporaryAddressWatch
{
public:
    TemporaryAddressWatch()
    {
        m_fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
        sockaddr_nl local {};
        local.nl_family = AF_NETLINK;
        local.nl_groups = RTMGRP_IPV6_IFADDR;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
        for (const platform::Ipv6InterfaceAddress& known : platform::ListIpv6Addresses()) {
            if (known.flags & IFA_F_TEMPORARY)
                m_seen.insert(known.address);
        }
    }
    ~TemporaryAddressWatch() { ::close(m_fd); }

    // Waits (at most timeoutMs) for a temporary address the kernel had not announced before.
    bool NewTemporaryAppears(int timeoutMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        const size_t before = m_seen.size();
        while (std::chrono::steady_clock::now() < end) {
            pollfd wait {m_fd, POLLIN, 0};
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (::poll(&wait, 1, static_cast<int>(left.count())) != 1)
                return false;
            Drain();
            if (m_seen.size() > before)
                return true;
        }
        return false;
    }

private:
    void Drain()
    {
        alignas(nlmsghdr) char buffer[16384];
        ssize_t got;
        while ((got = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0) {
            int length = static_cast<int>(got);
            for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, length); h = NLMSG_NEXT(h, length)) {
                if (h->nlmsg_type != RTM_NEWADDR)
                    continue;
                const auto* message = static_cast<const ifaddrmsg*>(NLMSG_DATA(h));
                uint32_t flags = message->ifa_flags;
                std::string address;
                int rest = static_cast<int>(IFA_PAYLOAD(h));
                for (auto* a = IFA_RTA(message); RTA_OK(a, rest); a = RTA_NEXT(a, rest)) {
                    if (a->rta_type == IFA_FLAGS)
                        flags = *static_cast<const uint32_t*>(RTA_DATA(a));
                    char text[INET6_ADDRSTRLEN] = {};
                    if (a->rta_type == IFA_ADDRESS && inet_ntop(AF_INET6, RTA_DATA(a), text, sizeof text))
                        address = platform::CanonicalAddress(text);
                }
                if ((flags & IFA_F_TEMPORARY) && !address.empty())
                    m_seen.insert(address);
            }
        }
    }

    int m_fd = -1;
    std::set<std::string> m_seen;
};

class Ipv6NamespaceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv(kInsideMarker))
            return;
        // The server's namespace, held by a child that waits to be killed.
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        m_holder = ::fork();
        ASSERT_GE(m_holder, 0);
        if (m_holder == 0) {
            const char byte = ::unshare(CLONE_NEWNET) == 0 ? 1 : 0;
            (void)!::write(ready[1], &byte, 1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ASSERT_EQ(byte, 1) << "no second network namespace";
        const std::string holder = std::to_string(m_holder);
        ASSERT_TRUE(Shell("ip link set lo up && ip link add v0 type veth peer name v1 netns " + holder
                          + " && sysctl -qw net.ipv6.conf.v0.accept_dad=0 net.ipv6.conf.v0.use_tempaddr=2"
                            " net.ipv6.conf.v0.temp_prefered_lft=4 && ip link set v0 up"
                            " && ip -6 addr add 2001:db8:1:2::10/64 dev v0 mngtmpaddr nodad"
                            " && ip -6 route add 2001:db8::/32 dev v0"));

        // The server side: its links and nginx, started from a thread inside its namespace.
        // The thread lives as long as the servers: they end with the thread that started them.
        std::promise<std::string> started;
        std::future<std::string> startedResult = started.get_future();
        m_server = std::thread([this, holder, &started] {
            std::string error;
            ServeInNamespace(holder, error);
            started.set_value(error);
            m_stop.get_future().wait();
            m_nginx.reset();
            m_ftp.reset();
        });
        ASSERT_EQ(startedResult.get(), "");
        ASSERT_EQ(Tarnwick({"--set", "RedirectUrl=" + Url("/index.htm"), "--set", "UploadServiceType=3", "--set",
                            "UploadServer=" + std::string(kServer), "--set", "UploadPort=" + std::to_string(m_port),
                            "--set", "UploadDir=/dav", "--set", "AddressFamily=6"})
                      .exitCode,
                  0);
    }

    void ServeInNamespace(const std::string& holder, std::string& error)
    {
        const int ns = ::open(("/proc/" + holder + "/ns/net").c_str(), O_RDONLY | O_CLOEXEC);
        if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
            error = "setns failed";
            return;
        }
        ::close(ns);
        if (!Shell("ip link set lo up && sysctl -qw net.ipv6.conf.v1.accept_dad=0 && ip link set v1 up"
                   " && ip -6 addr add "
                   + std::string(kServer)
                   + "/64 dev v1 nodad && ip -6 route add 2001:db8::/32 dev v1 && ip -6 route add fd00::/8 dev v1")) {
            error = "server links";
            return;
        }
        try {
            velt::testing::FtpServer::Options options;
            options.allAddresses = true;
            m_ftp = std::make_unique<velt::testing::FtpServer>(options);
        } catch (const std::exception& e) {
            error = e.what();
            return;
        }
        m_port = velt::testing::FreeTcpPort();
        m_badPort = velt::testing::FreeTcpPort();
        const std::string site = m_site.path().string();
        const std::string listen = "listen [" + std::string(kServer) + "]:" + std::to_string(m_port) + ";";
        try {
            m_nginx = std::make_unique<velt::testing::NginxServer>(
                "",
                "server { " + listen + " root " + site + ";\n location /dav/ { alias " + site
                    + "/; dav_methods PUT; create_full_put_path on; }\n location /ftp/ { alias "
                    + m_ftp->home().string()
                    + "/; }\n"
                      " location = /Tarnwick/GetClientIP.asp { default_type text/plain; return 200 "
                      "\"$remote_addr\\n\"; }\n"
                      "}\nserver { listen ["
                    + std::string(kServer) + "]:" + std::to_string(m_badPort)
                    + "; location = /Tarnwick/GetClientIP.asp { default_type text/plain; return 200 "
                      "\"192.0.2.7\\n\"; } }\n");
        } catch (const std::exception& e) {
            error = e.what();
        }
    }

    void TearDown() override
    {
        if (m_server.joinable()) {
            m_stop.set_value();
            m_server.join();
        }
        if (m_holder > 0) {
            ::kill(m_holder, SIGKILL);
            ::waitpid(m_holder, nullptr, 0);
        }
    }

    // Runs this test again inside a fresh network namespace; false when it ran here.
    bool RanInNamespace()
    {
        if (std::getenv(kInsideMarker))
            return false;
        if (!Shell("unshare -rn true 2>/dev/null")) {
            m_skipped = true;
            return true;
        }
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        char path[4096] = {};
        const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
        const std::string command = "unshare -rn env " + std::string(kInsideMarker) + "=1 " + Quoted(path) + " "
            + "--gtest_filter=Ipv6NamespaceTest." + name;
        const int status = std::system(command.c_str());
        EXPECT_TRUE(length > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the run in the namespace failed";
        return true;
    }

    std::string Url(const std::string& path) const
    {
        return "http://[" + std::string(kServer) + "]:" + std::to_string(m_port) + "/dav" + path;
    }

    Outcome Tarnwick(const std::vector<std::string>& args)
    {
        std::string command = "timeout -s KILL 60 env -u DISPLAY -u WAYLAND_DISPLAY " + Quoted(TARNWICK_PROGRAM);
        for (const std::string& arg : args)
            command += " " + Quoted(arg);
        const std::string out = (m_home.home() / "out").string();
        command += " </dev/null >" + out + " 2>&1";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, velt::testing::ReadTextFile(out)};
    }

    std::string Page() const { return velt::testing::ReadTextFile(m_site.file("index.htm")); }

    velt::testing::TempHome m_home;
    velt::testing::TempDir m_site;
    std::unique_ptr<velt::testing::NginxServer> m_nginx;
    std::unique_ptr<velt::testing::FtpServer> m_ftp;
    uint16_t m_port = 0;
    uint16_t m_badPort = 0;
    pid_t m_holder = -1;
    std::thread m_server;
    std::promise<void> m_stop;
    bool m_skipped = false;
};

#define RUN_INSIDE_NAMESPACE()                                                                                         \
    if (RanInNamespace()) {                                                                                            \
        if (m_skipped)                                                                                                 \
            GTEST_SKIP() << "no unprivileged network namespace on this machine (unshare -rn failed)";                  \
        return;                                                                                                        \
    }

constexpr const char* kCurrent = "Webseite ist bereits aktuell und wird nicht erneut hochgeladen...";

TEST_F(Ipv6NamespaceTest, ComponentPublishesTheStableAddressThroughRotationsAndPrefixChanges)
{
    RUN_INSIDE_NAMESPACE();
    TemporaryAddressWatch temporaries;
    Outcome o = Tarnwick({"--once"});
    ASSERT_EQ(o.exitCode, 0) << o.out;
    EXPECT_NE(Page().find("http://[2001:db8:1:2::10]/"), std::string::npos) << Page();

    // The temporary addresses rotate: nothing changes, the page stays current.
    ASSERT_TRUE(temporaries.NewTemporaryAppears(30000)) << "the kernel made no new temporary address";
    o = Tarnwick({"--once"});
    EXPECT_EQ(o.exitCode, 0) << o.out;
    EXPECT_NE(o.out.find(kCurrent), std::string::npos) << o.out;

    // A new prefix: the stable address is replaced, the page follows.
    ASSERT_TRUE(Shell("ip -6 addr del 2001:db8:1:2::10/64 dev v0 && ip -6 addr add 2001:db8:1:3::10/64 dev v0 "
                      "mngtmpaddr nodad"));
    o = Tarnwick({"--once"});
    ASSERT_EQ(o.exitCode, 0) << o.out;
    EXPECT_NE(Page().find("http://[2001:db8:1:3::10]/"), std::string::npos) << Page();

    // Another host of the network by its interface identifier.
    ASSERT_EQ(Tarnwick({"--set", "Ipv6InterfaceId=::99"}).exitCode, 0);
    o = Tarnwick({"--once"});
    ASSERT_EQ(o.exitCode, 0) << o.out;
    EXPECT_NE(Page().find("http://[2001:db8:1:3::99]/"), std::string::npos) << Page();
}

TEST_F(Ipv6NamespaceTest, UniqueLocalAddressIsPublishedWithTheWarning)
{
    RUN_INSIDE_NAMESPACE();
    ASSERT_TRUE(Shell("ip -6 addr del 2001:db8:1:2::10/64 dev v0 && ip -6 addr add fd00:1::10/64 dev v0 nodad"));
    const Outcome o = Tarnwick({"--once"});
    ASSERT_EQ(o.exitCode, 0) << o.out;
    EXPECT_NE(o.out.find("Hinweis: fd00:1::10 ist eine private Adresse"), std::string::npos) << o.out;
    EXPECT_NE(Page().find("http://[fd00:1::10]/"), std::string::npos) << Page();
}

TEST_F(Ipv6NamespaceTest, AddressServiceAnswersTheStableAddressAndNothingElseIsTaken)
{
    RUN_INSIDE_NAMESPACE();
    const std::string host = "[" + std::string(kServer) + "]:" + std::to_string(m_port);
    ASSERT_EQ(Tarnwick({"--set", "ClientIpByServer=1", "--set", "ServiceHost=" + host}).exitCode, 0);
    Outcome o = Tarnwick({"--once"});
    ASSERT_EQ(o.exitCode, 0) << o.out;
    EXPECT_NE(Page().find("http://[2001:db8:1:2::10]/"), std::string::npos) << Page();

    // An answer that is not one IPv6 address publishes nothing.
    std::filesystem::remove(m_site.file("index.htm"));
    const std::string bad = "[" + std::string(kServer) + "]:" + std::to_string(m_badPort);
    ASSERT_EQ(Tarnwick({"--set", "ServiceHost=" + bad}).exitCode, 0);
    o = Tarnwick({"--once"});
    EXPECT_EQ(o.exitCode, 1) << o.out;
    EXPECT_FALSE(std::filesystem::exists(m_site.file("index.htm")));
}

// The page server's IPv6 literal in the addresses, the upload by FTP (active
// mode with EPRT first) to an IPv6 server.
TEST_F(Ipv6NamespaceTest, FtpUploadToAnIpv6Server)
{
    RUN_INSIDE_NAMESPACE();
    const std::string ftpPort = std::to_string(m_ftp->port());
    ASSERT_EQ(
        Tarnwick({"--set",
                  "RedirectUrl=http://[" + std::string(kServer) + "]:" + std::to_string(m_port) + "/ftp/index.htm",
                  "--set", "UploadServiceType=1", "--set", "UploadPort=" + ftpPort, "--set", "UploadDir=/", "--set",
                  "UserName=" + m_ftp->user(), "--set", "Password=" + m_ftp->password()})
            .exitCode,
        0);
    Outcome o = Tarnwick({"--once"});
    ASSERT_EQ(o.exitCode, 0) << o.out;
    EXPECT_NE(m_ftp->readFile("index.htm").find("http://[2001:db8:1:2::10]/"), std::string::npos) << o.out;
    o = Tarnwick({"--once"});
    EXPECT_EQ(o.exitCode, 0) << o.out;
    EXPECT_NE(o.out.find(kCurrent), std::string::npos) << o.out;
}

} // namespace
