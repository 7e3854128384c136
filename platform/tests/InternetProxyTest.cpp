// Which proxy the environment configures for a host.
#include "platform/internet/SystemProxy.h"
#include "testing/ScopedEnv.h"

#include <gtest/gtest.h>

using namespace platform;
using velt::testing::ScopedEnv;

namespace {

struct NoProxyCase
{
    const char* list;
    const char* host;
    bool matches;
};

TEST(InternetSystemProxy, NoProxyListMatchesNamesAndRanges)
{
    const NoProxyCase cases[] = {{"*", "any.where", true},
                                 {"example.org", "example.org", true},
                                 {"example.org", "WWW.Example.ORG", true},
                                 {".example.org", "www.example.org", true},
                                 {"example.org", "badexample.org", false},
                                 {"example.org", "example.org.evil", false},
                                 {" a.test , b.test ", "b.test", true},
                                 {"10.0.0.0/8", "10.1.2.3", true},
                                 {"10.0.0.0/8", "11.1.2.3", false},
                                 {"192.168.1.5", "192.168.1.5", true},
                                 {"192.168.1.5", "192.168.1.50", false},
                                 {"fd00::/8", "fd12::1", true},
                                 {"", "example.org", false},
                                 {",,", "example.org", false}};
    for (const NoProxyCase& c : cases)
        EXPECT_EQ(NoProxyListMatches(c.list, c.host), c.matches) << c.list << " / " << c.host;
}

TEST(InternetSystemProxy, SchemeVariablesThenAllProxyExceptBypassed)
{
    ScopedEnv http("http_proxy", "http://127.0.0.1:3128");
    ScopedEnv httpUpper("HTTP_PROXY", "http://127.0.0.1:9999");
    ScopedEnv https("https_proxy", std::nullopt);
    ScopedEnv httpsUpper("HTTPS_PROXY", "http://127.0.0.1:3129");
    ScopedEnv ftp("ftp_proxy", std::nullopt);
    ScopedEnv ftpUpper("FTP_PROXY", std::nullopt);
    ScopedEnv all("all_proxy", "socks5://127.0.0.1:1080");
    ScopedEnv noProxy("no_proxy", "intranet.test");
    ScopedEnv noProxyUpper("NO_PROXY", std::nullopt);

    EXPECT_EQ(SystemProxyFor("http", "web.test"), "http://127.0.0.1:3128");
    EXPECT_EQ(SystemProxyFor("https", "web.test"), "http://127.0.0.1:3129");
    EXPECT_EQ(SystemProxyFor("ftp", "web.test"), "socks5://127.0.0.1:1080");
    EXPECT_EQ(SystemProxyFor("http", "host.intranet.test"), "");
    for (const char* loopback : {"localhost", "127.0.0.1", "127.8.9.10", "::1"})
        EXPECT_EQ(SystemProxyFor("http", loopback), "") << loopback;

    ScopedEnv none("http_proxy", std::nullopt);
    ScopedEnv noAll("all_proxy", std::nullopt);
    EXPECT_EQ(SystemProxyFor("http", "web.test"), "") << "HTTP_PROXY in upper case is not taken";
}

} // namespace
