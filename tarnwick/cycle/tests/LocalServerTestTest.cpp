#include "tarnwick/cycle/LocalServerTest.h"

#include "tarnwick/program/ComponentRegistration.h"
#include "tarnwick/settings/CRedirectSettings.h"
#include "testing/FreeTcpPort.h"
#include "testing/TcpPeer.h"
#include "testing/TempHome.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <vector>

using namespace tarnwick;
using velt::testing::TcpPeer;

namespace {

const char* const kProgramDir = TARNWICK_PROGRAM_DIR "/";

// A loopback listener that never accepts, with its connection queue filled,
// so that one more connect waits for an answer that does not come.
class FullBacklogListener
{
public:
    FullBacklogListener()
    {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 0);
        socklen_t length = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        for (int i = 0; i < 16; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM, 0);
            fcntl(fd, F_SETFL, O_NONBLOCK);
            m_clients.push_back(fd);
            connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd wait {fd, POLLOUT, 0};
            if (poll(&wait, 1, 300) == 0) {
                m_full = true;
                break;
            }
        }
    }
    ~FullBacklogListener()
    {
        for (int fd : m_clients)
            close(fd);
        close(m_listener);
    }
    uint16_t port() const { return m_port; }
    bool full() const { return m_full; }

private:
    int m_listener = -1;
    uint16_t m_port = 0;
    bool m_full = false;
    std::vector<int> m_clients;
};

CRedirectSettings Target(uint16_t port, int serviceType = 3)
{
    CRedirectSettings settings;
    settings.SetLocalServerName("127.0.0.1");
    settings.SetLocalServiceType(serviceType);
    settings.SetLocalPort(port);
    return settings;
}

struct Timed
{
    LocalServerTestResult result;
    std::chrono::milliseconds took;
};

Timed RunTest(const CRedirectSettings& settings)
{
    const auto start = std::chrono::steady_clock::now();
    LocalServerTestResult result = TestLocalServerConnection(settings);
    return {result, std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)};
}

class LocalServerTestTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(EnsureComponentRegistered(kProgramDir, &error)) << error;
    }
    velt::testing::TempHome m_home;
};

} // namespace

TEST_F(LocalServerTestTest, ListeningServerIsReadyEvenWhenItNeverAnswers)
{
    TcpPeer silent(TcpPeer::Mode::Silent);
    for (int serviceType : {3, 1}) {
        const Timed run = RunTest(Target(silent.port(), serviceType));
        EXPECT_TRUE(run.result.ok) << run.result.statusText;
        EXPECT_EQ(run.result.statusText,
                  "Server 127.0.0.1 auf Port " + std::to_string(silent.port()) + " ist betriebsbereit.");
        EXPECT_LT(run.took, std::chrono::milliseconds(2000));
    }
}

TEST_F(LocalServerTestTest, ClosedPortAndFullQueueFailWithTheComponentsTextWithinTwoSeconds)
{
    const uint16_t closed = velt::testing::FreeTcpPort();
    const Timed refused = RunTest(Target(closed));
    EXPECT_FALSE(refused.result.ok);
    const std::string prefix = "Server 127.0.0.1 auf Port " + std::to_string(closed) + " ist nicht erreichbar!\r\n";
    EXPECT_EQ(refused.result.statusText.rfind(prefix, 0), 0u) << refused.result.statusText;
    EXPECT_NE(refused.result.statusText.find("Fehler! Verbindung zum Server 127.0.0.1 auf Port"), std::string::npos)
        << refused.result.statusText;
    EXPECT_LT(refused.took, std::chrono::milliseconds(2000));

    FullBacklogListener queue;
    ASSERT_TRUE(queue.full());
    const Timed waiting = RunTest(Target(queue.port()));
    EXPECT_FALSE(waiting.result.ok) << waiting.result.statusText;
    EXPECT_NE(waiting.result.statusText.find("ist nicht erreichbar!"), std::string::npos);
    EXPECT_LT(waiting.took, std::chrono::milliseconds(2000));
}

TEST(LocalServerTestUnregistered, ComponentMissingGivesTheSystemText)
{
    velt::testing::TempHome emptyHome; // no class registered here
    TcpPeer silent(TcpPeer::Mode::Silent);
    const LocalServerTestResult result = TestLocalServerConnection(Target(silent.port()));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.statusText,
              "Server 127.0.0.1 auf Port " + std::to_string(silent.port())
                  + " ist nicht erreichbar!\r\nKlasse nicht registriert");
}
