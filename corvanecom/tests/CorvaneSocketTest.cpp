// The command channel against real TCP peers on loopback.
#include "corvanecom/tests/CorvaneTest.h"

#include "platform/com/BStr.h"
#include "platform/messages/ThreadMessages.h"
#include "platform/socket/SocketError.h"
#include "platform/system/SystemMessage.h"
#include "testing/TcpPeer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using velt::testing::TcpPeer;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kCancel = 0x07E9;

std::string SystemText(int code)
{
    return platform::FormatSystemMessage(static_cast<uint32_t>(code));
}

const std::string kReceiveFailed = "Fehler beim Empfang der Daten!\r\nAntwort: \r\n";

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class CorvaneSocket : public CorvaneTest
{
protected:
    void SetUp() override
    {
        EmptyThreadQueue();
        CorvaneTest::SetUp();
    }
    void TearDown() override { EmptyThreadQueue(); }

    static void EmptyThreadQueue()
    {
        platform::MSG msg;
        while (platform::PeekMessage(&msg, nullptr, 0, 0, platform::PM_REMOVE)) { }
    }

    void Connect(const TcpPeer& peer, LONG timeout = 10)
    {
        ASSERT_EQ(m_object->put_TimeoutInSec(timeout), S_OK);
        LONG ok = 0;
        ASSERT_EQ(m_object->Connect(BStr::FromAnsi("127.0.0.1").Get(), peer.port(), &ok), S_OK)
            << TakeThreadError().description;
        ASSERT_EQ(ok, 1);
    }

    HRESULT Receive(std::string& answer, LONG maxKB = 32768)
    {
        BSTR text = nullptr;
        const HRESULT hr = m_object->Receive(maxKB, &text);
        if (SUCCEEDED(hr))
            answer = TakeText(text);
        return hr;
    }
};

} // namespace

TEST_F(CorvaneSocket, ReceiveFromASilentPeerTimesOutAfterTheLimitWithTheInterruptText)
{
    TcpPeer peer(TcpPeer::Mode::Silent);
    Connect(peer, 2);
    const auto start = Clock::now();
    std::string answer;
    EXPECT_EQ(Receive(answer), E_FAIL);
    EXPECT_GE(SecondsSince(start), 1.9);
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_EQ(TakeThreadError().description, kReceiveFailed + SystemText(platform::WSAEINTR));
    EXPECT_EQ(platform::WSAGetLastError(), platform::WSAEINTR);
    // The step's own timer went with the step.
    EXPECT_EQ(platform::NextTimerTimeoutMs(), -1);
}

TEST_F(CorvaneSocket, ACancelPostedFromAnotherThreadEndsAWaitWithoutTimeLimit)
{
    TcpPeer peer(TcpPeer::Mode::Silent);
    Connect(peer, 0);
    const uint32_t self = platform::GetCurrentThreadId();
    std::thread canceller([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        platform::PostThreadMessage(self, kCancel, 0, 0);
    });
    std::string answer;
    const HRESULT hr = Receive(answer);
    canceller.join();
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(TakeThreadError().description, kReceiveFailed + SystemText(platform::WSAEINTR));
    // The cancel message was used up by the wait.
    platform::MSG msg;
    EXPECT_FALSE(platform::PeekMessage(&msg, nullptr, kCancel, kCancel, platform::PM_NOREMOVE));

    // A cancel that came before the step ends the next wait at once.
    ASSERT_TRUE(platform::PostThreadMessage(self, kCancel, 0, 0));
    EXPECT_EQ(Receive(answer), E_FAIL);
    EXPECT_EQ(platform::WSAGetLastError(), platform::WSAEINTR);
}

TEST_F(CorvaneSocket, OneReceiveGivesAtMostOneChunkAndTheRestComesLater)
{
    const std::string sent(3000, 'x');
    TcpPeer peer(TcpPeer::Mode::SendAndStayOpen, sent);
    Connect(peer);
    std::string first;
    ASSERT_EQ(Receive(first), S_OK);
    EXPECT_GE(first.size(), 1u);
    EXPECT_LE(first.size(), 1024u);
    std::string all = first;
    while (all.size() < sent.size()) {
        std::string more;
        ASSERT_EQ(Receive(more, 1), S_OK);
        ASSERT_LE(more.size(), 1024u);
        ASSERT_FALSE(more.empty());
        all += more;
    }
    EXPECT_EQ(all, sent);
}

TEST_F(CorvaneSocket, AnAnswerIsCutAtItsFirstZeroByte)
{
    TcpPeer peer(TcpPeer::Mode::SendAndStayOpen, std::string("220 ok\0hidden", 13));
    Connect(peer);
    ASSERT_TRUE(peer.waitForConnections(1, std::chrono::seconds(5)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::string answer;
    ASSERT_EQ(Receive(answer), S_OK);
    EXPECT_EQ(answer, "220 ok");
}

TEST_F(CorvaneSocket, ReceiveAfterThePeerClosedSucceedsWithNothing)
{
    TcpPeer peer(TcpPeer::Mode::CloseAtOnce);
    Connect(peer);
    std::string answer = "unchanged";
    EXPECT_EQ(Receive(answer), S_OK);
    EXPECT_EQ(answer, "");
}

TEST_F(CorvaneSocket, SendPutsExactlyTheCommandOnTheWire)
{
    TcpPeer peer(TcpPeer::Mode::Silent);
    Connect(peer);
    LONG ok = 0;
    ASSERT_EQ(m_object->Send(BStr::FromAnsi("ABC").Get(), &ok), S_OK);
    EXPECT_EQ(ok, 1);
    ASSERT_EQ(m_object->Disconnect(), S_OK);
    ASSERT_TRUE(peer.waitForReceived("ABC", std::chrono::seconds(5)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(peer.received(), "ABC");
}

class CorvaneTestConnect : public CorvaneSocket, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(CorvaneTestConnect, ReportsBothEndsAndClosesTheConnection)
{
    TcpPeer peer(TcpPeer::Mode::Silent);
    LONG ok = 0;
    const std::string url = GetParam() + std::to_string(peer.port()) + "/index.htm";
    ASSERT_EQ(m_object->TestConnect(BStr::FromAnsi(url).Get(), &ok), S_OK) << TakeThreadError().description;
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Text(&IVELTCorvane::get_SocketAddress), "127.0.0.1");
    EXPECT_EQ(Text(&IVELTCorvane::get_PeerAddress), "127.0.0.1");
    EXPECT_EQ(Number(&IVELTCorvane::get_PeerPort), peer.port());
    EXPECT_GT(Number(&IVELTCorvane::get_SocketPort), 0);
    EXPECT_TRUE(peer.waitForConnections(1, std::chrono::seconds(5)));

    EXPECT_EQ(m_object->Send(BStr::FromAnsi("ABC").Get(), &ok), E_FAIL);
    EXPECT_EQ(TakeThreadError().description,
              "Fehler beim Senden des Kommandos ABC!\r\n" + SystemText(platform::WSAGetLastError()));
    EXPECT_EQ(peer.received(), "");
}

// A host name goes through the system resolver ("localhost" only, never DNS).
INSTANTIATE_TEST_SUITE_P(Urls, CorvaneTestConnect, ::testing::Values("http://127.0.0.1:", "ftp://localhost:"));

// IPv6 literals in brackets (TestConnect) and bare (Connect), read back
// canonically; a plain listener on the IPv6 loopback.
TEST_F(CorvaneSocket, Ipv6LiteralsConnectAndReadBackCanonically)
{
    const int listener = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 address {};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (listener >= 0)
            ::close(listener);
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    }
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin6_port));
    LONG ok = 0;
    for (const std::string& url : {"http://[::1]:" + port + "/", "http://[0:0:0:0:0:0:0:1]:" + port + "/x.htm"}) {
        ASSERT_EQ(m_object->TestConnect(BStr::FromAnsi(url).Get(), &ok), S_OK) << TakeThreadError().description;
        EXPECT_EQ(Text(&IVELTCorvane::get_SocketAddress), "::1") << url;
        EXPECT_EQ(Text(&IVELTCorvane::get_PeerAddress), "::1") << url;
    }
    ASSERT_EQ(m_object->Connect(BStr::FromAnsi("0::1").Get(), ntohs(address.sin6_port), &ok), S_OK)
        << TakeThreadError().description;
    EXPECT_EQ(Text(&IVELTCorvane::get_PeerAddress), "::1");
    m_object->Disconnect();
    ::close(listener);
}

TEST_F(CorvaneSocket, DataWaitingOnTheConnectionIsReportedAndClearedByReceive)
{
    TcpPeer peer(TcpPeer::Mode::SendAndStayOpen, "hello");
    Connect(peer);
    LONG available = 0;
    for (int i = 0; i < 100 && available == 0; ++i) {
        ASSERT_EQ(m_object->get_DataToReceiveAvailable(&available), S_OK);
        if (available == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(available, 1);
    std::string answer;
    ASSERT_EQ(Receive(answer), S_OK);
    EXPECT_EQ(answer, "hello");
    EXPECT_EQ(Number(&IVELTCorvane::get_DataToReceiveAvailable), 0);
}

TEST_F(CorvaneSocket, CallsOnAnUnconnectedObjectFailWithTheirMessages)
{
    EXPECT_EQ(m_object->Disconnect(), S_OK);
    EXPECT_EQ(m_object->CancelBlockingCall(), S_OK);
    std::string answer;
    EXPECT_EQ(Receive(answer), E_FAIL);
    EXPECT_EQ(TakeThreadError().description, kReceiveFailed + SystemText(platform::WSAENOTSOCK));
    BSTR text = nullptr;
    EXPECT_EQ(m_object->SendCmdAndReceive(BStr::FromAnsi("NOOP").Get(), &text), E_FAIL);
    EXPECT_EQ(TakeThreadError().description,
              "Fehler beim Senden oder Empfangen des Kommandos NOOP!\r\n" + SystemText(platform::WSAENOTSOCK));
}

TEST_F(CorvaneSocket, LastErrorMsgFollowsTheThreadsCurrentCode)
{
    platform::WSASetLastError(platform::WSAECONNREFUSED);
    EXPECT_EQ(Text(&IVELTCorvane::get_LastErrorMsg), SystemText(platform::WSAECONNREFUSED));
    platform::WSASetLastError(0);
    EXPECT_EQ(Text(&IVELTCorvane::get_LastErrorMsg), "");
}

TEST_F(CorvaneSocket, AHostWithAnEmbeddedZeroIsRefusedWithoutAskingTheResolver)
{
    LONG ok = 0;
    const BStr host(std::u16string_view(u"127.0.0.1\0evil", 15));
    EXPECT_EQ(m_object->Connect(host.Get(), 80, &ok), E_FAIL);
    EXPECT_EQ(platform::WSAGetLastError(), platform::WSAHOST_NOT_FOUND);
    EXPECT_EQ(ok, 0);
}
