// What the other test folders rely on beyond the servers' answers (those are
// exercised by the internet tests): servers stop by pid and free their port,
// and the environment helpers restore what they changed.
#include "testing/FreeTcpPort.h"
#include "testing/FtpServer.h"
#include "testing/NginxServer.h"
#include "testing/ScopedEnv.h"
#include "testing/TempHome.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velt::testing;

TEST(ServerLifetime, StopsByPidAndFreesThePort)
{
    pid_t nginxPid;
    pid_t ftpPid;
    uint16_t nginxPort;
    uint16_t ftpPort;
    {
        NginxServer nginx;
        FtpServer ftp;
        nginxPid = nginx.pid();
        ftpPid = ftp.pid();
        nginxPort = nginx.port();
        ftpPort = ftp.port();
        ASSERT_GT(nginxPid, 0);
        ASSERT_GT(ftpPid, 0);
        EXPECT_EQ(kill(nginxPid, 0), 0);
        EXPECT_TRUE(WaitForTcpPort(ftpPort, 0));
    }
    EXPECT_NE(kill(nginxPid, 0), 0);
    EXPECT_NE(kill(ftpPid, 0), 0);
    EXPECT_FALSE(WaitForTcpPort(nginxPort, 0));
    EXPECT_FALSE(WaitForTcpPort(ftpPort, 0));
}

TEST(ServerLifetime, BrokenConfigurationFailsWithTheLog)
{
    try {
        NginxServer broken("location { this is not nginx }");
        ADD_FAILURE() << "nginx started with a broken configuration";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("nginx"), std::string::npos);
    }
}

TEST(Environment, TempHomeAndScopedEnvRestore)
{
    const char* before = std::getenv("HOME");
    const std::string saved = before ? before : "";
    {
        TempHome home;
        EXPECT_EQ(std::getenv("XDG_CONFIG_HOME"), home.configHome().string());
        struct stat info
        {
        };
        ASSERT_EQ(stat(home.runtimeDir().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        ScopedEnv unset("HOME", std::nullopt);
        EXPECT_EQ(std::getenv("HOME"), nullptr);
    }
    EXPECT_EQ(std::string(std::getenv("HOME") ? std::getenv("HOME") : ""), saved);
}
